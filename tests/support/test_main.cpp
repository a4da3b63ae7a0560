// The entry point of every test program. The programs check Russian texts, which the library gives
// when the user's language is Russian; the language is set here, before any test runs, so that a
// program passes when it is run directly under any LANG, LC_ALL or LC_MESSAGES, not only under
// CTest. Tests that need another language set it for themselves (support/language.h).
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "ru_RU.UTF-8", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
