#include "registry/device/param_def.h"

#include "platform/kernel/codepage.h"

namespace quill::registry {

std::string RowText(std::u16string_view text, std::size_t limit) {
    std::string ansi = kernel::WideToAnsi(text);
    if (ansi.size() > limit) ansi.resize(limit);
    return ansi;
}

} // namespace quill::registry
