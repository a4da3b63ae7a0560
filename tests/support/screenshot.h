// Screenshots for tests that run a real window: an X window dump (the xwd tool's format) turned
// into a PNG file, written with zlib.
#pragma once

#include <string>

namespace quill::testing {

// Converts the X window dump `xwdPath` (TrueColor, 24 or 32 bits per pixel) into the PNG file
// `pngPath`; returns an empty text on success, else what went wrong.
std::string XwdToPng(const std::string& xwdPath, const std::string& pngPath);

} // namespace quill::testing
