#include "capture/capture_harness.h"

#include "platform/kernel/codepage.h"
#include "platform/ui/scripted_backend.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/us_layout.h"

#include <gtest/gtest.h>
#include <random>

using namespace quill;
using namespace quill::test;
using capture::TManagerQuill;

namespace {
std::string Ansi(std::u16string_view text) {
    return kernel::WideToAnsi(text);
}
} // namespace

TEST(ScannerList, NewDevicesCarryTheScannerDefaults) {
    TCaptureHarness h;
    TManagerQuill* first = h.AddDevice();
    TManagerQuill* second = h.AddDevice();
    EXPECT_EQ(first->GetParamStr("HookPref"), "+++");
    EXPECT_EQ(first->GetParamStr("HookPost"), "+++");
    EXPECT_EQ(first->GetParamInt("HookTimeOut"), 65);
    EXPECT_EQ(first->GetParamInt("UseInterCharInterval"), 0);
    EXPECT_EQ(first->GetParamInt("MinDataLen"), 4);
    EXPECT_EQ(first->GetParamInt(Ansi(u"Неразделяемое")), 1);
    EXPECT_EQ(first->GetParamInt(Ansi(u"Использовать")), 1);
    EXPECT_EQ(first->Identifier(), Ansi(u"Сканер штрихкодов клавиатурный №1"));
    EXPECT_EQ(second->Identifier(), Ansi(u"Сканер штрихкодов клавиатурный №2"));
    EXPECT_EQ(h.List->ModelList().Current()->Id(), ScannerModelGuid);
    EXPECT_EQ(h.List->DriverIdentifier(), "Addin.Quill");
}

TEST(ScannerList, ErrorTextsOfTheDriverAndOfTheCommonTable) {
    TCaptureHarness h;
    EXPECT_EQ(h.List->GetErrorText(0), Ansi(u"Операция выполнена успешно"));
    EXPECT_EQ(h.List->GetErrorText(3), Ansi(u"Устройство не обнаружено"));
    EXPECT_EQ(h.List->GetErrorText(7), Ansi(u"Внутренняя ошибка"));
    EXPECT_FALSE(h.List->GetErrorText(8).empty());
    EXPECT_NE(h.List->GetErrorText(8), h.List->GetErrorText(7));
    EXPECT_FALSE(h.List->GetErrorText(-1).empty());
}

TEST(ScannerList, TheHookFollowsTheSwitchedOnDevices) {
    TCaptureHarness h;
    TManagerQuill* a = h.AddDevice();
    TManagerQuill* b = h.AddDevice();
    EXPECT_FALSE(h.List->FCapturing());
    a->SetState(1);
    const auto hook = h.List->HookHandle();
    ASSERT_NE(hook, nullptr);
    b->SetState(1);
    EXPECT_EQ(h.List->HookHandle(), hook); // no second hook
    a->SetState(0);
    EXPECT_EQ(h.List->HookHandle(), hook);
    EXPECT_TRUE(h.List->FCapturing());
    b->SetState(0);
    EXPECT_EQ(h.List->HookHandle(), nullptr);
    EXPECT_FALSE(h.List->FCapturing());
}

TEST(ScannerList, SwitchOnTakesTheModeSnapshots) {
    TCaptureHarness h;
    TManagerQuill* d = h.AddDevice();
    d->SetParamInt("MinDataLen", 300);
    d->SetParamInt("UseInterCharInterval", 1);
    d->SetState(1);
    EXPECT_EQ(d->FMinDataLen, 44);
    EXPECT_TRUE(d->FUseInterCharInterval);
    d->SetParamInt("UseInterCharInterval", 2); // takes effect at the next switch-on only
    EXPECT_TRUE(d->FUseInterCharInterval);
    d->SetState(0);
    d->SetState(1);
    EXPECT_FALSE(d->FUseInterCharInterval);
    d->SetState(0);
    d->SetParamStr("MinDataLen", "x");
    d->SetState(1); // a mode that is no integer fails the switch-on
    EXPECT_EQ(d->GetState(), 0);
}

TEST(ScannerList, WithoutAnEventSinkNoHookIsInstalledButCaptureIsOn) {
    TCaptureHarness h;
    h.List->EventSink = nullptr;
    TManagerQuill* d = h.AddDevice();
    d->SetState(1);
    EXPECT_EQ(h.List->HookHandle(), nullptr);
    EXPECT_TRUE(h.List->FCapturing());
    h.List->EventSink = com::ComPtr<IEventSupport2>(&h.Sink);
    TManagerQuill* e = h.AddDevice();
    e->SetState(1); // retried at the next switch-on
    EXPECT_NE(h.List->HookHandle(), nullptr);
}

TEST(ScannerList, ScanEventCarriesSourceIdentifierDataAndGuid) {
    TCaptureHarness h;
    TManagerQuill* d = h.AddDevice();
    d->SetState(1);
    for (char c : std::string("+++4006381333931+++"))
        h.TypeChar(c);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.Sink.Events[0].Source, u"Сканер");
    EXPECT_EQ(h.Sink.Events[0].Name, u"Сканер штрихкодов клавиатурный №1");
    EXPECT_EQ(h.Sink.Events[0].Data, u"4006381333931");
    EXPECT_EQ(h.Sink.Events[0].Device, d->Guid());
    // Key-ups always reach the application; none of the key-downs did.
    EXPECT_EQ(h.App, "");
}

TEST(ScannerList, ReplayKeepsAModifierTheUserHolds) {
    TCaptureHarness h;
    h.AddDevice()->SetState(1);
    h.TypeChar('+');
    user::keybd_event(user::VK_CONTROL, 0, 0, 0); // the user presses Control and keeps it
    h.Pump();
    h.Advance(100);
    EXPECT_LT(user::GetKeyState(user::VK_CONTROL), 0);
    // The key came back (with Control held it makes no character) and Control stays down.
    EXPECT_NE(std::find(h.AppKeyDowns.begin(), h.AppKeyDowns.end(), 0xBB), h.AppKeyDowns.end());
    user::keybd_event(user::VK_CONTROL, 0, user::KEYEVENTF_KEYUP, 0);
    h.Pump();
}

TEST(ScannerList, DestroyingTheListInsideTheEventCallIsSafe) {
    TCaptureHarness h;
    TManagerQuill* d = h.AddDevice();
    d->SetParamStr("HookPref", "");
    d->SetParamStr("HookPost", "");
    d->SetParamInt("UseInterCharInterval", 1);
    d->SetState(1);
    h.AddDevice()->SetState(1);
    h.Sink.OnEvent = [&] { h.List.reset(); };
    for (char c : std::string("12345"))
        h.TypeChar(c);
    h.Advance(200);
    EXPECT_EQ(h.Sink.Events.size(), 1u);
    EXPECT_EQ(h.List, nullptr);
    h.TypeChar('x'); // the hook is gone with the list: keys reach the application
    EXPECT_EQ(h.App, "x");
}

TEST(ScannerList, SettingsDialogWritesBackOnOkOnly) {
    TCaptureHarness h;
    TManagerQuill* d = h.AddDevice();
    ui::TScriptedBackend user;
    ui::SetFormBackend(&user);
    user.Type("edIdentif", "Till 1")
        .Type("edPref", "<")
        .Type("edPost", ">")
        .Then([](ui::TForm& form) {
            auto* bar = static_cast<ui::TTrackBar*>(form.FindControl("tbTO"));
            bar->SetPosition(300);
        })
        .Click("btnOk");
    EXPECT_EQ(d->ShowSettings(), 0);
    EXPECT_EQ(d->Identifier(), "Till 1");
    EXPECT_EQ(d->GetParamStr("HookPref"), "<");
    EXPECT_EQ(d->GetParamStr("HookPost"), ">");
    EXPECT_EQ(d->GetParamStr("HookTimeOut"), "300");
    user.Type("edPref", "changed").Cancel();
    EXPECT_EQ(d->ShowSettings(), -1);
    EXPECT_EQ(d->GetParamStr("HookPref"), "<");
    std::int32_t setup = 0;
    user.Cancel();
    EXPECT_EQ(static_cast<IDeviceItem*>(d)->Setup(&setup), com::S_OK);
    EXPECT_EQ(setup, -1);
    ui::SetFormBackend(nullptr);
}

// Through the real hook: for random key streams, timings and device settings, every key-down
// either reaches the application exactly once, in typing order, or belongs to exactly one scan
// whose data are right; key-ups always pass.
TEST(ScannerList, EveryKeyReachesTheApplicationOnceOrBelongsToOneScan) {
    const std::string alphabet = "+#ab1\r";
    std::mt19937 random(7121226);
    for (int round = 0; round < 60; ++round) {
        TCaptureHarness h;
        auto randomText = [&](int maxLength, bool allowEnter) {
            std::string s;
            const int n = static_cast<int>(random() % (maxLength + 1));
            for (int i = 0; i < n; ++i) {
                char c = alphabet[random() % alphabet.size()];
                if (c == '\r' && !allowEnter) c = 'a';
                s.push_back(c);
            }
            return s;
        };
        const int devices = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < devices; ++i) {
            TManagerQuill* d = h.AddDevice();
            d->SetParamStr("HookPref", randomText(3, false));
            std::string post = randomText(2, true);
            for (char& c : post)
                if (c == '\r') c = '&', post.insert(post.find('&') + 1, "13");
            d->SetParamStr("HookPost", post);
            d->SetParamInt("HookTimeOut", 20 + static_cast<int>(random() % 150));
            d->SetParamInt("UseInterCharInterval", random() % 3 == 0 ? 1 : 0);
            d->SetParamInt("MinDataLen", static_cast<int>(random() % 6));
            if (random() % 4 != 0) d->SetState(1);
        }
        std::string typed;
        const int keys = 5 + static_cast<int>(random() % 30);
        for (int k = 0; k < keys; ++k) {
            const char c = alphabet[random() % alphabet.size()];
            typed.push_back(c);
            h.TypeChar(c);
            h.Advance(random() % 3 == 0 ? 20 + random() % 200 : random() % 15);
        }
        h.Advance(2000);
        // The application text and the scans' raw keys together are the typed keys: the
        // application's characters form a subsequence in typing order, and nothing is doubled.
        std::size_t consumed = 0;
        for (char c : h.App) {
            const auto at = typed.find(c, consumed);
            ASSERT_NE(at, std::string::npos) << "round " << round << ": '" << c << "' not typed";
            consumed = at + 1;
        }
        std::size_t scanData = 0;
        for (const auto& e : h.Sink.Events)
            scanData += e.Data.size();
        EXPECT_LE(h.App.size() + scanData, typed.size()) << "round " << round;
        EXPECT_EQ(h.List->FHeldKeys().size(), 0u) << "round " << round;
    }
}

TEST(ScannerList, ADeviceWithoutAnEventSinkDropsItsScans) {
    TCaptureHarness h;
    h.List->EventSink = nullptr;
    TManagerQuill* silent = h.AddDevice(); // made before the list had a sink: it has none
    silent->SetParamStr("HookPref", "<");
    silent->SetParamStr("HookPost", ">");
    h.List->EventSink = com::ComPtr<IEventSupport2>(&h.Sink);
    TManagerQuill* heard = h.AddDevice();
    silent->SetState(1);
    heard->SetState(1);
    ASSERT_NE(h.List->HookHandle(), nullptr);
    for (char c : std::string("<1>+++2+++"))
        h.TypeChar(c);
    h.Advance(200);
    ASSERT_EQ(h.Sink.Events.size(), 1u); // the silent device's scan is dropped, not typed
    EXPECT_EQ(h.Sink.Events[0].Data, u"2");
    EXPECT_EQ(h.App, "");
}
