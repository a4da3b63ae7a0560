#include "capture/capture_harness.h"
#include "capture/framer_simulation.h"

#include "platform/kernel/codepage.h"
#include "support/scripted_backend.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "support/keyboard_keys.h"

#include <gtest/gtest.h>
#include <atomic>
#include <future>
#include <random>
#include <thread>

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

// The user holds Control while the held "+" (typed with Shift) is replayed: the key comes back
// with Shift alone, and Control is still down afterwards.
TEST(ScannerList, ReplayKeepsAModifierTheUserHolds) {
    TCaptureHarness h;
    h.AddDevice()->SetState(1);
    h.TypeChar('+');
    test::KeyboardEvent(user::VK_CONTROL); // the user presses Control and keeps it
    h.Pump();
    h.Advance(100);
    EXPECT_EQ(h.App, "+");
    EXPECT_LT(user::GetKeyState(user::VK_CONTROL), 0);
    EXPECT_LT(user::GetAsyncKeyState(user::VK_LCONTROL), 0);
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_SHIFT), 0);
    test::KeyboardEvent(user::VK_CONTROL, user::KEYEVENTF_KEYUP);
    h.Pump();
}

// A right-hand Shift held across a time-out: the replay uses that side and leaves no left Shift
// down, so the next key is not capitalised.
TEST(ScannerList, ReplayUsesTheSideOfEachModifier) {
    TCaptureHarness h;
    h.AddDevice()->SetState(1);
    h.Key(user::VK_RSHIFT, false);
    h.Key(0xBB, false); // "=" with Shift: "+"
    h.Key(0xBB, true);
    h.Advance(100); // the time-out, while the user still holds the right Shift
    EXPECT_LT(user::GetAsyncKeyState(user::VK_RSHIFT), 0);
    h.Key(user::VK_RSHIFT, true);
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_LSHIFT), 0);
    EXPECT_GE(user::GetKeyState(user::VK_SHIFT), 0);
    h.TypeChar('a');
    EXPECT_EQ(h.App, "+a");
    // A held right Control key replays as the right Control, extended.
    TManagerQuill* d = h.List->Scanner(0);
    d->SetParamStr("HookPref", "");
    d->SetParamStr("HookPost", "&3");
    h.Key(user::VK_RCONTROL, false);
    h.Key('B', false);
    h.Key('B', true);
    h.Key(user::VK_RCONTROL, true);
    EXPECT_EQ(h.List->FHeldKeys(), std::vector<std::string>{"0|1|0|66|2|"});
    const std::size_t before = h.AppKeyDowns.size();
    h.Advance(100);
    ASSERT_EQ(h.AppKeyDowns.size(), before + 2);
    EXPECT_EQ(h.AppKeyDowns[before], user::VK_CONTROL);
    EXPECT_TRUE((h.AppKeyDownFlags[before] >> 24) & 1) << "the right Control is extended";
    EXPECT_EQ(h.App, std::string("+a\x02"));
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_CONTROL), 0);
}

// Lock keys pass at once, also inside an open sequence: Caps Lock switches on once.
TEST(ScannerList, LockKeysAreNeverHeld) {
    TCaptureHarness h;
    h.AddDevice()->SetState(1);
    const bool capsBefore = user::GetKeyState(user::VK_CAPITAL) & 1;
    h.TypeChar('+');
    h.PressKey(user::VK_CAPITAL);
    h.PressKey(user::VK_NUMLOCK);
    h.PressKey(user::VK_NUMLOCK);
    EXPECT_EQ(h.List->FHeldKeys().size(), 1u);
    h.Advance(100);
    EXPECT_NE(user::GetKeyState(user::VK_CAPITAL) & 1, capsBefore ? 1 : 0);
    h.PressKey(user::VK_CAPITAL); // back as it was
}

// The host names another thread for the hook: the time-out timer runs there, so held keys come
// back after the time-out instead of staying held.
TEST(ScannerList, TheTimeOutRunsOnTheHookThread) {
    TCaptureHarness h;
    std::promise<std::uint32_t> hookThread;
    std::promise<void> installed;
    std::string app, appBefore;
    std::size_t heldBefore = 0;
    std::thread ui([&] {
        user::MSG msg{};
        user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_NOREMOVE);
        user::SetFocusThread(user::GetCurrentThreadId());
        hookThread.set_value(user::GetCurrentThreadId());
        installed.get_future().wait();
        auto pump = [&] {
            while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
                user::TranslateMessage(&msg);
                if (msg.message == user::WM_CHAR) app.push_back(static_cast<char>(msg.wParam));
                user::DispatchMessageA(&msg);
            }
        };
        for (char c : std::string("+x")) {
            if (c == 'x') {
                // The "+" is held, waiting for its time-out on this thread.
                appBefore = app;
                heldBefore = h.List->FHeldKeys().size();
            }
            const auto stroke = user::CharToKey(c);
            if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT);
            test::KeyboardEvent(stroke->Key);
            test::KeyboardEvent(stroke->Key, user::KEYEVENTF_KEYUP);
            if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT, user::KEYEVENTF_KEYUP);
            pump();
        }
        for (int ms = 0; ms < 200; ++ms) {
            user::Sleep(1); // the harness's virtual clock moves on
            pump();
        }
    });
    h.Sink.HookThread = hookThread.get_future().get();
    h.AddDevice()->SetState(1);
    ASSERT_NE(h.List->HookHandle(), nullptr);
    installed.set_value();
    ui.join();
    EXPECT_EQ(appBefore, "");
    EXPECT_EQ(heldBefore, 1u);
    EXPECT_EQ(app, "+x");
    EXPECT_TRUE(h.List->FHeldKeys().empty());
    h.List->RemoveHook();
    user::SetFocusThread(user::GetCurrentThreadId());
}

// A virtual clock on which the user types a key the first time anything pauses: a replay that
// paused between its keys would let that key in between them.
class TTypistClock final : public user::TVirtualClock {
  public:
    using user::TVirtualClock::TVirtualClock;
    bool Armed = false;
    void Sleep(user::DWORD ms) override {
        TypeIfArmed();
        user::TVirtualClock::Sleep(ms);
    }
    void TypeIfArmed() {
        if (!Armed) return;
        Armed = false;
        test::KeyboardEvent('X');
        test::KeyboardEvent('X', user::KEYEVENTF_KEYUP);
    }
};

// A key typed while a replay is entered comes after all the replayed keys, never between them.
TEST(ScannerList, AKeyTypedDuringAReplayComesAfterIt) {
    TCaptureHarness h;
    h.AddDevice()->SetState(1);
    TTypistClock clock(user::GetTickCount64());
    user::TClock* harnessClock = user::SetClock(&clock);
    for (char c : std::string("+++1"))
        h.TypeChar(c);
    clock.Armed = true;
    for (int ms = 0; ms < 100 && h.App.empty(); ++ms) {
        clock.Advance(1);
        h.Pump();
    }
    clock.TypeIfArmed(); // the replay did not pause: the user types now
    h.Pump();
    user::SetClock(harnessClock);
    EXPECT_EQ(h.App, "+++1x");
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
    test::TScriptedBackend user;
    TCaptureHarness h(&user);
    TManagerQuill* d = h.AddDevice();
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
}

// Through the real hook: for random key streams - main-block keys, keypad digits under Num Lock,
// capitals with the right Shift, Alt codes - with random timings and device settings, the
// application receives exactly what the framing model delivers (every key-down once, in typing
// order, unless it belongs to one scan) and the scans are exactly the model's.
TEST(ScannerList, EveryKeyReachesTheApplicationOnceOrBelongsToOneScan) {
    const std::string alphabet = "+#ab1\r";
    std::mt19937 random(7121226);
    for (int round = 0; round < 60; ++round) {
        TCaptureHarness h;
        test::FramerSimulation model;
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
            test::SimDevice sim;
            sim.Pref = randomText(3, false);
            std::string post = randomText(2, true);
            for (char& c : post)
                if (c == '\r') c = '&', post.insert(post.find('&') + 1, "13");
            sim.Post = post; // the escaped form, as the device stores it
            const int timeout = 20 + static_cast<int>(random() % 150);
            sim.TimeOut = std::to_string(timeout);
            sim.InterChar = random() % 3 == 0;
            sim.MinLen = static_cast<std::uint8_t>(random() % 6);
            sim.On = random() % 4 != 0;
            d->SetParamStr("HookPref", sim.Pref);
            d->SetParamStr("HookPost", post);
            d->SetParamInt("HookTimeOut", timeout);
            d->SetParamInt("UseInterCharInterval", sim.InterChar ? 1 : 0);
            d->SetParamInt("MinDataLen", sim.MinLen);
            if (sim.On) d->SetState(1);
            model.Devices.push_back(sim);
        }
        auto key = [&](std::uint8_t vk, bool up) {
            h.Key(vk, up);
            model.KeyEvent(vk, up);
        };
        auto tap = [&](std::uint8_t vk) {
            key(vk, false);
            key(vk, true);
        };
        tap(user::VK_NUMLOCK);
        const int keys = 5 + static_cast<int>(random() % 30);
        for (int k = 0; k < keys; ++k) {
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 5) {
            case 0: // the keypad
                if (c == '+' || c == '1') {
                    tap(c == '+' ? user::VK_ADD : user::VK_NUMPAD0 + 1);
                    break;
                }
                [[fallthrough]];
            case 1: // an Alt code
                key(user::VK_LMENU, false);
                for (char d : (random() % 2 ? "0" : "") + std::to_string(int(c)))
                    tap(static_cast<std::uint8_t>(user::VK_NUMPAD0 + (d - '0')));
                key(user::VK_LMENU, true);
                break;
            case 2: // a capital with the right Shift
                if (c == 'a' || c == 'b') {
                    key(user::VK_RSHIFT, false);
                    tap(static_cast<std::uint8_t>(c - 32));
                    key(user::VK_RSHIFT, true);
                    break;
                }
                [[fallthrough]];
            default:
                h.TypeChar(c);
                model.TypeChar(c);
            }
            const std::int64_t pause = random() % 3 == 0 ? 20 + random() % 200 : random() % 15;
            h.Advance(pause);
            model.Advance(pause);
        }
        h.Advance(2000);
        model.Advance(2000);
        tap(user::VK_NUMLOCK);
        EXPECT_EQ(h.App, model.App) << "round " << round;
        EXPECT_EQ(h.Scans(), model.Scans) << "round " << round;
        EXPECT_FALSE(model.App.empty() && model.Scans.empty()) << "round " << round;
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
