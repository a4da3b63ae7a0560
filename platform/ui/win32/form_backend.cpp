// Which backend shows a form on Windows: the native one, always.
#include "platform/ui/form_backend.h"

namespace quill::ui {

TFormBackend* CurrentFormBackend() {
    return Win32FormBackend();
}

} // namespace quill::ui
