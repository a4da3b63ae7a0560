// Calls from a second thread while the keyboard hook runs on the host's user-interface thread:
// the device list and the capture are never used by both at once, so no device is freed under
// the hook and every typed key reaches the application once or belongs to exactly one scan.
#include "support/call_block.h"
#include "capture/manager/manager_quill_list.h"
#include "exchange/valuearray/value_array_class.h"
#include "infra/root/guid_text.h"
#include "plugin/control/call_entry.h"
#include "plugin/scanner/dll_quill.h"
#include "platform/rtl/convert.h"
#include "platform/user/clock.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "support/keyboard_keys.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace quill;
using com::OleVariant;

namespace {

class TScanSink final : public TEventSupportBase {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (!object) return com::E_POINTER;
        if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR data, GUID*) override {
        std::lock_guard guard(FLock);
        Data.push_back(com::TextFromBStr(data));
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override {
        *array = static_cast<IDispatch*>(exchange::CreateValueArray().Detach());
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override {
        *threadId = HookThread;
        return com::S_OK;
    }
    std::uint32_t HookThread = 0;
    std::vector<std::u16string> Data;

  private:
    std::mutex FLock;
};

// One call by name through the guarded call entry, as a host makes it from any thread.
bool Call(std::u16string_view name, std::vector<OleVariant> args) {
    exchange::TParams block;
    test::CallBlock(block, name, 1, args);
    plugin::GuardedCallEntry(&block, nullptr);
    return !block.Error;
}

class ThreadEntry : public ::testing::Test {
  protected:
    void SetUp() override {
        FPreviousClock = user::SetClock(&FClock);
        Pump();
        user::SetFocusThread(user::GetCurrentThreadId());
        FSaved = plugin::DllObject;
        FDriver = std::make_unique<plugin::TDllQuill>();
        plugin::DllObject = FDriver.get();
        Sink.HookThread = user::GetCurrentThreadId();
        ASSERT_EQ(FDriver->SetEventSupport(static_cast<IEventSupport2*>(&Sink)), com::S_OK);
    }
    void TearDown() override {
        FDriver.reset();
        plugin::DllObject = FSaved;
        Pump();
        user::SetClock(FPreviousClock);
    }
    void Pump() {
        user::MSG msg;
        while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
            user::TranslateMessage(&msg);
            if (msg.message == user::WM_CHAR) App.push_back(static_cast<char>(msg.wParam));
            user::DispatchMessageA(&msg);
        }
    }
    void TypeChar(char c) {
        const auto stroke = user::CharToKey(c);
        ASSERT_TRUE(stroke.has_value());
        if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT);
        test::KeyboardEvent(stroke->Key);
        test::KeyboardEvent(stroke->Key, user::KEYEVENTF_KEYUP);
        if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT, user::KEYEVENTF_KEYUP);
        Pump();
    }
    void Advance(int ms) {
        for (int i = 0; i < ms; ++i) {
            FClock.Advance(1);
            Pump();
        }
    }
    // Types scans, broken scans and plain keys until at least 600 pieces are typed and the other
    // thread has done `rounds` rounds; returns what was typed.
    std::string TypeWhile(const std::atomic<int>& done, int rounds) {
        std::string typed;
        std::mt19937 random(2718);
        const std::string pieces[] = {"ab", "+++12+++", "c", "+++3", "45", "+++678+++"};
        for (int i = 0; i < 600 || done.load() < rounds; ++i) {
            const std::string& piece = pieces[random() % std::size(pieces)];
            for (char c : piece) {
                typed.push_back(c);
                TypeChar(c);
            }
            // An unfinished scan waits out the time-out and is typed again.
            Advance(piece == "+++3" ? 70 : static_cast<int>(random() % 4));
        }
        return typed;
    }
    // Each scan took its data and, around it, its prefix and suffix of "+" keys (from 4 to 6 of
    // them: "++++" already is "+++" opening and closing); every other key reached the
    // application. Counted per character: switching the last device off mid-scan lets later keys
    // pass before the held ones are typed again, so the order may differ, but nothing may be
    // lost or doubled.
    void ExpectEveryKeyOnce(const std::string& typed) {
        std::map<char, long> balance;
        for (char c : typed)
            ++balance[c];
        for (char c : App)
            --balance[c];
        for (const auto& data : Sink.Data)
            for (char16_t c : data)
                --balance[static_cast<char>(c)];
        const long scans = static_cast<long>(Sink.Data.size());
        for (const auto& [c, left] : balance) {
            if (c == '+') {
                EXPECT_GE(left, 4 * scans) << "'+' delivered twice";
                EXPECT_LE(left, 6 * scans) << "'+' lost";
            } else {
                EXPECT_EQ(left, 0) << "'" << c << "': " << (left > 0 ? "lost" : "delivered twice");
            }
        }
        EXPECT_FALSE(Sink.Data.empty());
    }

    TScanSink Sink;
    std::string App;
    std::unique_ptr<plugin::TDllQuill> FDriver;

  private:
    user::TVirtualClock FClock{1000};
    user::TClock* FPreviousClock = nullptr;
    plugin::TBaseDllObj* FSaved = nullptr;
};

TEST_F(ThreadEntry, DevicesChangedFromAnotherThreadWhileKeysAreTypedLoseOrDoubleNoKey) {
    // A device of the user-interface thread, on at the start.
    ASSERT_TRUE(Call(u"AddDevice", {OleVariant()}));
    ASSERT_TRUE(Call(u"ChoiceDevice", {OleVariant(1)}));
    ASSERT_TRUE(Call(u"SwitchOn", {OleVariant(0)}));
    ASSERT_NE(static_cast<capture::TManagerQuillList&>(*FDriver->Devices).HookHandle(), nullptr);

    std::atomic<bool> typing{true};
    std::atomic<int> rounds{0};
    std::thread other([&] {
        std::mt19937 random(1312);
        while (typing.load()) {
            Call(u"AddDevice", {OleVariant()});
            Call(u"ChoiceDevice", {OleVariant(1 + static_cast<int>(random() % 3))});
            Call(u"SwitchOn", {OleVariant(0)});
            Call(u"SwitchOff", {OleVariant(0)});
            Call(u"SwitchOn", {OleVariant(0)});
            Call(u"DeleteDevice", {OleVariant(2 + static_cast<int>(random() % 3))});
            rounds.fetch_add(1);
        }
    });
    const std::string typed = TypeWhile(rounds, 200);
    typing = false;
    other.join();
    Advance(3000);
    ExpectEveryKeyOnce(typed);
}

// The model and device interfaces a host holds reach the same list as the calls by name: they
// take its lock too (ThreadSanitizer reports the list changed under the hook otherwise).
TEST_F(ThreadEntry, ModelAndDeviceInterfacesFromAnotherThreadWhileKeysAreTyped) {
    ASSERT_TRUE(Call(u"AddDevice", {OleVariant()}));
    ASSERT_TRUE(Call(u"ChoiceDevice", {OleVariant(1)}));
    ASSERT_TRUE(Call(u"SwitchOn", {OleVariant(0)}));

    std::atomic<bool> typing{true};
    std::atomic<int> rounds{0};
    std::thread other([&] {
        com::ComPtr<IPluModel> model;
        ASSERT_EQ(FDriver->GetModel(0, model.ReleaseAndGetAddressOf()), com::S_OK);
        ASSERT_TRUE(model);
        while (typing.load()) {
            const com::GUID guid = infra::NewGuid();
            const OleVariant settings(u"<Устройство Код=\"" + infra::GuidToText(guid) +
                                      u"\" КодМодели=\"\" Наименование=\"Второй\"><Параметры/>"
                                      u"</Устройство>");
            com::ComPtr<IDeviceItem> device;
            EXPECT_EQ(model->CreateDevice(&settings, device.ReleaseAndGetAddressOf()), com::S_OK);
            EXPECT_EQ(model->FindDevice(&settings, device.ReleaseAndGetAddressOf()), com::S_OK);
            std::int16_t enabled = 1;
            OleVariant document;
            if (device) {
                EXPECT_EQ(device->GetEnabled(&enabled), com::S_OK);
                EXPECT_EQ(device->GetSettings(&document), com::S_OK);
            }
            std::int32_t removed = -2;
            EXPECT_EQ(model->RemoveDevice(&guid, &removed), com::S_OK);
            EXPECT_EQ(removed, 0);
            EXPECT_EQ(model->AddDevice(&settings, device.ReleaseAndGetAddressOf()), com::S_OK);
            std::int32_t closed = -1;
            if (device) EXPECT_EQ(device->Close(&closed), com::S_OK);
            EXPECT_EQ(model->SetSettings(&settings), com::S_OK);
            com::BStr text;
            EXPECT_EQ(model->GetParametersText(text.ReleaseAndGetAddressOf()), com::S_OK);
            EXPECT_EQ(model->GetName(text.ReleaseAndGetAddressOf()), com::S_OK);
            OleVariant description;
            EXPECT_EQ(model->GetModelDocument(&description), com::S_OK);
            com::BStr name(u"HookPref");
            EXPECT_TRUE(FDriver->IsProperty(name.Get()));
            rounds.fetch_add(1);
        }
    });
    const std::string typed = TypeWhile(rounds, 100);
    typing = false;
    other.join();
    Advance(3000);
    ExpectEveryKeyOnce(typed);
    EXPECT_EQ(FDriver->Devices->DeviceCount(), 1);
}

} // namespace
