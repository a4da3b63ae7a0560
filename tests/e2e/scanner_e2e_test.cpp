// The whole path through the built plug-in: host, call entry, device, keyboard hook, event.
#include "e2e/plugin_harness.h"
#include "platform/user/key_state.h"
#include "platform/user/window.h"
#include "support/keyboard_keys.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <cstdlib>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using namespace quill;
using namespace quill::test;

namespace {

std::u16string Utf16(std::string_view text) {
    return kernel::Utf8ToWide(text);
}

} // namespace

TEST(EndToEnd, AScanBecomesOneEventAndNoKeys) {
    TPluginHarness h;
    const std::u16string name = h.AddScanner();
    h.TypeText("+++4006381333931+++", 1);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.Sink.Events[0].Source, u"Сканер");
    EXPECT_EQ(h.Sink.Events[0].Name, name);
    EXPECT_EQ(h.Sink.Events[0].Data, u"4006381333931");
    EXPECT_EQ(h.App, "");
}

TEST(EndToEnd, OrdinaryTypingAroundScansReachesTheApplicationOnce) {
    TPluginHarness h;
    h.AddScanner();
    // A person types slowly; the scanner's keys come 1 ms apart.
    h.TypeText("Hello, ", 120);
    h.TypeText("+++ABC-42+++", 1);
    h.TypeText("world!", 120);
    h.TypeText("+++7+++", 1);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 2u);
    EXPECT_EQ(h.Sink.Events[0].Data, u"ABC-42");
    EXPECT_EQ(h.Sink.Events[1].Data, u"7");
    EXPECT_EQ(h.App, "Hello, world!");
}

TEST(EndToEnd, AnUnfinishedScanIsTypedAgainWithItsShift) {
    TPluginHarness h;
    h.AddScanner();
    h.TypeText("++", 1); // a prefix begun (Shift+=) and then abandoned
    h.Advance(200);
    h.TypeText("x", 120);
    h.Advance(200);
    EXPECT_TRUE(h.Sink.Events.empty());
    EXPECT_EQ(h.App, "++x");
    EXPECT_GE(user::GetKeyState(user::VK_SHIFT), 0);
}

TEST(EndToEnd, InterCharacterModeFramesAFastRunWithoutPrefix) {
    TPluginHarness h;
    TScannerSettings settings;
    settings.Prefix = "";
    settings.Suffix = "";
    settings.InterChar = 1;
    settings.TimeOut = 50;
    settings.MinDataLen = 4;
    h.AddScanner(settings);
    h.TypeText("98765", 2);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.Sink.Events[0].Data, u"98765");
    // Too short a run is the user's typing.
    h.TypeText("ab", 2);
    h.Advance(200);
    EXPECT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.App, "ab");
}

TEST(EndToEnd, TwoDevicesEachClaimTheirOwnScans) {
    TPluginHarness h;
    TScannerSettings second;
    second.Prefix = "##";
    second.Suffix = "$";
    const std::u16string first = h.AddScanner();
    const std::u16string other = h.AddScanner(second);
    h.TypeText("##111$", 1);
    h.TypeText("+++222+++", 1);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 2u);
    EXPECT_EQ(h.Sink.Events[0].Name, other);
    EXPECT_EQ(h.Sink.Events[0].Data, u"111");
    EXPECT_EQ(h.Sink.Events[1].Name, first);
    EXPECT_EQ(h.Sink.Events[1].Data, u"222");
}

TEST(EndToEnd, SwitchedOffTheKeysPassAndSwitchingOnAgainCaptures) {
    TPluginHarness h;
    h.AddScanner();
    ASSERT_FALSE(h.Method(u"Выключить", {com::OleVariant(0)}).Failed);
    h.TypeText("+++1+++", 1);
    h.Advance(200);
    EXPECT_TRUE(h.Sink.Events.empty());
    EXPECT_EQ(h.App, "+++1+++");
    ASSERT_FALSE(h.Method(u"SwitchOn", {com::OleVariant(0)}).Failed);
    h.TypeText("+++2+++", 1);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.Sink.Events[0].Data, u"2");
    // The host's switch-everything-off request.
    TParams off;
    off.MethodName = "__@@SwitchOff";
    h.Entry(&off, nullptr);
    h.TypeText("+++3+++", 1);
    h.Advance(200);
    EXPECT_EQ(h.Sink.Events.size(), 1u);
}

TEST(EndToEnd, TheDeviceSwitchIsTheHostsAfterEventSupport) {
    TPluginHarness h;
    h.AddScanner();
    const auto write = h.Call(u"DeviceIsOn", 3, {com::OleVariant(0)});
    EXPECT_TRUE(write.Failed);
    EXPECT_EQ(write.Code, 20000);
    EXPECT_EQ(rtl::VarToInt(h.Call(u"УстройствоВключено", 2).Result), 1);
}

TEST(EndToEnd, TheHostsValueArraysCarryTheParameterTable) {
    TPluginHarness h;
    h.AddScanner();
    const auto props = h.Method(u"GetProps", {com::OleVariant()});
    ASSERT_FALSE(props.Failed) << kernel::WideToUtf8(props.Text);
    ASSERT_EQ(props.Args[0].vt, com::VT_DISPATCH);
    auto table = com::ComPtr<ISafeArray>::QueryFrom(props.Args[0].pdispVal);
    ASSERT_TRUE(table);
    std::int32_t rows = 0, columns = 0;
    table->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(columns, 7);
    for (std::int32_t row = 1; row < rows; ++row) {
        com::OleVariant name;
        table->GetValue(row, 0, &name);
        if (rtl::VarToWide(name) == u"HookPref") table->SetValue(row, 4, com::OleVariant(u"@@"));
    }
    ASSERT_FALSE(h.Method(u"SetProps", {props.Args[0]}).Failed);
    h.TypeText("@@55+++", 1);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.Sink.Events[0].Data, u"55");
}

// Runs in a process of its own: a library that an earlier test left pinned in this process would
// not run its shut-down at dlclose.
TEST(EndToEndUnload, UnloadLeavesNoModifierDownAndNoHook) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int failures = 0;
            const auto check = [&failures](bool ok, const char* what) {
                if (!ok) {
                    std::fprintf(stderr, "failed: %s\n", what);
                    ++failures;
                }
            };
            // The library's log goes to a folder of this test.
            const std::string data =
                "/tmp/quill-e2e-log-" + std::to_string(static_cast<long>(::getpid()));
            setenv("QUILL_DATA_DIR", data.c_str(), 1);
            TPluginHarness h;
            h.AddScanner();
            test::KeyboardEvent(user::VK_LSHIFT);
            test::KeyboardEvent(user::VK_RCONTROL, user::KEYEVENTF_EXTENDEDKEY);
            h.Pump();
            h.Unload();
            check(user::GetAsyncKeyState(user::VK_LSHIFT) >= 0, "left Shift released");
            check(user::GetAsyncKeyState(user::VK_RCONTROL) >= 0, "right Control released");
            h.Pump();
            check(user::GetKeyState(user::VK_SHIFT) >= 0, "Shift up for the application");
            // With the plug-in gone, keys reach the application untouched.
            h.TypeText("+++9+++", 1);
            h.Advance(200);
            check(h.App == "+++9+++", "keys pass after unload");
            check(h.Sink.Events.empty(), "no event after unload");
            // The timer windows' class, whose procedure went with the library, went with it: a
            // library loaded again registers its own.
            check(!user::UnregisterClassA("TQuillCaptureTimer"), "timer window class removed");
            // Start-up and shut-down wrote the log's banners.
            std::string log;
            std::error_code error;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(data, error))
                if (entry.is_regular_file()) {
                    std::ifstream in(entry.path());
                    log.append(std::istreambuf_iterator<char>(in), {});
                }
            check(log.find(">>LOG_STARTED------[") != std::string::npos, "start banner");
            check(log.find(">>LOG_STOPPED------[") != std::string::npos, "stop banner");
            // Every banner whole: 64 hyphens after its bracket, and a blank between the date
            // and the time, whatever order the library's static objects were built in.
            std::istringstream lines(log);
            int banners = 0;
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.rfind(">>", 0) != 0) continue;
                ++banners;
                const std::size_t close = line.rfind(']');
                check(close != std::string::npos && line.substr(close + 1) == std::string(64, '-'),
                      "64 hyphens after the banner");
                const std::string inside = line.substr(20, close - 20);
                const std::size_t blank = inside.rfind(' ');
                const std::string time = blank == std::string::npos ? "" : inside.substr(blank + 1);
                check(std::regex_match(time, std::regex("[0-9]{1,2}:[0-9]{2}:[0-9]{2}")),
                      "the time stands apart from the date");
            }
            check(banners == 2, "a start and a stop banner");
            std::filesystem::remove_all(data, error);
            std::exit(failures == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(EndToEnd, TheDriverDescribesItself) {
    TPluginHarness h;
    BSTR path = nullptr;
    ASSERT_EQ(h.Driver->GetLibraryPath(&path), com::S_OK);
    const std::u16string text = com::TextFromBStr(path);
    com::SysFreeString(path);
    EXPECT_NE(text.find(u"Quill.plu"), std::u16string::npos);
    std::vector<com::OleVariant> args(13);
    const auto info = h.Method(u"GetPlgInfo", args);
    ASSERT_FALSE(info.Failed) << kernel::WideToUtf8(info.Text);
    EXPECT_EQ(rtl::VarToWide(info.Args[1]), u"Сканер штрихкодов клавиатурный");
    EXPECT_EQ(rtl::VarToWide(h.Method(u"ResultDescription", {com::OleVariant(6)}).Result),
              u"Ошибка в данных");
    (void)Utf16;
}
