// Scan data and typed text for display: control characters as \r, \n, \t and \xHH, so that a GS
// inside GS1 data shows; every other byte stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace quill::host {

std::string VisibleText(std::string_view text);

} // namespace quill::host
