// The entry point of every test program. The programs check Russian texts, which the library gives
// when the user's language is Russian; the language is set here, before any test runs, so that a
// program passes when it is run directly under any LANG, LC_ALL or LC_MESSAGES, not only under
// CTest. Tests that need another language set it for themselves (support/language.h). On Windows
// the language is the system's, fixed when the program starts: there the suite runs once in
// Russian and once in English, and each test's language checks run in the run of their language.
//
// The library's log goes to a scratch folder of the program's own, and an error line in it that a
// test did not announce fails that test (support/log_errors.h).
#include "platform/com/apartment.h"
#include "support/log_errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "ru_RU.UTF-8", 1);
    // The main thread joins COM, as a host's threads do: the system's running-object table and
    // XML component need it (where there is no COM, this does nothing).
    quill::com::CoInitializeEx(nullptr, quill::com::COINIT_APARTMENTTHREADED);
    testing::InitGoogleTest(&argc, argv);
    const std::string scratch = quill::test::WatchLogErrors();
    const int result = RUN_ALL_TESTS();
    if (!scratch.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }
    return result;
}
