// The console on Windows: only what a host writes; its input is read through the window.
#include "platform/kernel/console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace quill::kernel {

void WriteLineEndsAsGiven() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

} // namespace quill::kernel
