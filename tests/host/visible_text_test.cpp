#include "host/visible_text.h"

#include <gtest/gtest.h>

namespace quill::host {
namespace {

TEST(VisibleText, ControlCharactersShowAndEverythingElseStays) {
    EXPECT_EQ(VisibleText(std::string("]C1") + '\x1D' + "0104\r\n\t\x7F" + '\0' + "\\ Ж"),
              "]C1\\x1D0104\\r\\n\\t\\x7F\\x00\\ Ж");
    EXPECT_EQ(VisibleText(""), "");
}

} // namespace
} // namespace quill::host
