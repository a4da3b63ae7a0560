// The scanner settings dialog where no backend can reach the user: without a display and without
// a terminal on standard input the dialog is cancelled and nothing changes. (Linux only: on
// Windows the native backend is always at hand.)
#include "capture/settings_dialog/kb_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace quill::capture {
namespace {

TEST(SettingsDialogHeadless, WithoutABackendTheDialogIsCancelled) {
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    unsetenv("DISPLAY");
    const int null = open("/dev/null", O_RDONLY);
    const int savedStdin = dup(STDIN_FILENO);
    dup2(null, STDIN_FILENO);
    TKBSettingsChoice choice{"keep", "", "", 7};
    const TKBSettingsValues device{"Scanner1", "[", "]", [] { return 65; }};
    const int result = ShowKBSettings(device, choice, nullptr);
    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    close(null);
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(choice.Identifier, "keep");
    EXPECT_EQ(choice.TimeOut, 7);
}

} // namespace
} // namespace quill::capture
