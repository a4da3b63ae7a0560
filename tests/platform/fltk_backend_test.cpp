// The FLTK window under a virtual X server: a person's keys and clicks (real X input events sent
// with xdotool) edit the settings dialog; screenshots go to <build>/artifacts/.
#include "capture/manager/manager_quill_list.h"
#include "capture/settings_dialog/kb_settings.h"
#include "platform/kernel/codepage.h"
#include "platform/ui/form_backend.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// The font library keeps its font patterns for the life of the process; under the leak checker
// that is reported as lost memory, though no code of ours can release it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace quill::ui {
namespace {

namespace fs = std::filesystem;

using testing::OnPath;
using testing::TXUser;
using testing::TXvfb;

const std::string kFltkModule = std::string(QUILL_BINARY_DIR) + "/quill-fltk.so";
const std::string kArtifacts = testing::ArtifactsDir();

capture::TKBSettingsValues Device() {
    return {"Scanner1", "[", "]", [] { return 65; }};
}

TEST(FltkBackend, APersonEditsTheSettingsDialogInARealWindow) {
    for (const char* tool : {"Xvfb", "xdotool", "xwd", "timeout"}) {
        if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (access(kFltkModule.c_str(), R_OK) != 0) GTEST_SKIP() << "no FLTK module at " << kFltkModule;
    TXvfb server;
    ASSERT_FALSE(server.Display.empty()) << "Xvfb did not start";
    setenv("DISPLAY", server.Display.c_str(), 1);
    TFormBackend* backend = FltkFormBackend(kFltkModule);
    ASSERT_NE(backend, nullptr) << "the FLTK module did not load or reach " << server.Display;
    ASSERT_EQ(CurrentFormBackend(), backend) << "a display and the module: the FLTK window";
    fs::create_directories(kArtifacts);

    // OK with an empty identifier, then a proper edit: identifier, suffix, time-out, OK.
    TXUser user;
    std::thread person([&] {
        const std::string dialog = user.WaitWindow("--class", "quill");
        user.Settle();
        user.Shot("settings_dialog");
        user.ClickAt(dialog, 150, 18); // the identifier
        user.Do({"key", "ctrl+a", "BackSpace"});
        user.ClickAt(dialog, 200, 170); // OK
        const std::string message = user.WaitWindow("--name", ".", dialog);
        user.Settle();
        user.Shot("settings_dialog_message");
        user.Do({"windowfocus", "--sync", message});
        user.Do({"key", "Return"});
        user.Settle();
        user.Do({"windowfocus", "--sync", dialog});
        user.ClickAt(dialog, 150, 18);
        user.Do({"type", "--delay", "20", "Desk 7"});
        user.ClickAt(dialog, 200, 94); // the suffix
        user.Do({"key", "ctrl+a"});
        user.Do({"type", "#"});
        user.Do({"key", "Tab", "Right"}); // to the track bar, one line step up
        user.Settle();
        user.Shot("settings_dialog_edited");
        user.ClickAt(dialog, 200, 170); // OK
    });
    // The dialog of a real scanner device, whose parameters must hold the choice afterwards.
    capture::TManagerQuillList list(rtl::ItemClassOf<capture::TManagerQuill>);
    auto* device = static_cast<capture::TManagerQuill*>(list.Add());
    const capture::TKBSettingsValues values = Device();
    device->SetIdentifier(values.Identifier);
    device->SetParamStr("HookPref", values.HookPref);
    device->SetParamStr("HookPost", values.HookPost);
    device->SetParamInt("HookTimeOut", values.ReadHookTimeOut());
    const int result = device->ShowSettings();
    person.join();
    for (const auto& line : user.Log)
        ADD_FAILURE() << line;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(device->Identifier(), "Desk 7");
    EXPECT_EQ(device->GetParamStr("HookPref"), "[");
    EXPECT_EQ(device->GetParamStr("HookPost"), "#");
    EXPECT_EQ(device->GetParamStr("HookTimeOut"), "90");
    EXPECT_TRUE(fs::exists(kArtifacts + "/settings_dialog.png"));

    // Cancel after typing, and Escape: nothing comes back.
    TXUser again;
    std::thread leaver([&] {
        std::string dialog = again.WaitWindow("--class", "quill");
        again.Settle();
        again.ClickAt(dialog, 150, 18);
        again.Do({"type", "lost"});
        again.ClickAt(dialog, 288, 170); // Отмена
        dialog = again.WaitWindow("--class", "quill", dialog);
        again.Settle();
        again.Do({"windowfocus", "--sync", dialog});
        again.Do({"key", "Escape"});
    });
    EXPECT_EQ(device->ShowSettings(), -1);
    EXPECT_EQ(device->ShowSettings(), -1);
    leaver.join();
    for (const auto& line : again.Log)
        ADD_FAILURE() << line;
    EXPECT_EQ(device->Identifier(), "Desk 7"); // cancelled dialogs change nothing
    EXPECT_EQ(device->GetParamStr("HookPost"), "#");
}

} // namespace
} // namespace quill::ui
