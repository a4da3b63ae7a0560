// A host for tests and benchmarks that drives the built Quill.plu exactly as a host does: dlopen,
// the three exports, IPluginControl and IDllObject, the guarded call entry recovered from Query,
// and an event sink handed over with "__@@EventSupport". The calling thread plays the host's
// user-interface thread and the focused application: keys enter through keybd_event, messages
// are pumped as an application pumps them (TranslateMessage makes the WM_CHAR the application
// receives), and time runs on the virtual clock unless a test asks for the real one.
//
// Header-only so that the end-to-end benchmark uses the same host. One harness at a time per
// process; it unloads the plug-in when it ends.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/com/guid.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/user/clock.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "quill/host.h"
#include "tests/support/call_block.h"
#include "tests/support/keyboard_keys.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace quill::test {

class TE2ESink final : public TEventSupportBase {
  public:
    struct Event {
        std::u16string Source, Name, Data;
        GUID Device;
    };
    std::vector<Event> Events;
    std::uint32_t HookThread = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (!object) return com::E_POINTER;
        if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    // Lives as long as the harness, which outlives the plug-in's references.
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR event, BSTR data,
                                            GUID* device) override {
        Events.push_back({com::TextFromBStr(source), com::TextFromBStr(event),
                          com::TextFromBStr(data), device ? *device : GUID{}});
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override {
        if (!array) return com::E_POINTER;
        *array = nullptr;
        return com::CoCreateInstance(ValueArrayClassGuid, nullptr, IDispatch::Guid,
                                     reinterpret_cast<void**>(array));
    }
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override {
        if (!threadId) return com::E_POINTER;
        *threadId = HookThread;
        return com::S_OK;
    }
};

struct TE2EOutcome {
    bool Failed = false;
    std::int32_t Code = 0;
    std::u16string Text;
    com::OleVariant Result;
    std::vector<com::OleVariant> Args;
};

struct TScannerSettings {
    std::string Prefix = "+++";
    std::string Suffix = "+++";
    int TimeOut = 65;
    int InterChar = 0;
    int MinDataLen = 4;
};

class TPluginHarness {
  public:
    explicit TPluginHarness(bool virtualClock = true) {
        if (virtualClock) FPreviousClock = user::SetClock(&FClock);
        FClockInstalled = virtualClock;
        Pump(); // the thread's queue
        FPreviousFocus = user::SetFocusThread(user::GetCurrentThreadId());
        Sink.HookThread = user::GetCurrentThreadId();
        // The library's log goes to a scratch folder, not the machine's, unless a test chose one.
        setenv("QUILL_DATA_DIR", "/tmp/quill-e2e-data", 0);
        FHandle = dlopen(QUILL_PLU_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!FHandle) throw std::runtime_error(std::string("dlopen: ") + dlerror());
        FQuery = reinterpret_cast<QueryFunc>(dlsym(FHandle, "Query"));
        auto control = reinterpret_cast<PluginControlFunc>(dlsym(FHandle, "PluginControl"));
        FBeforeFree = reinterpret_cast<BeforeFreeLibraryFunc>(dlsym(FHandle, "BeforeFreeLibrary"));
        if (!FQuery || !control || !FBeforeFree) throw std::runtime_error("an export is missing");
        control(&Control);
        if (!Control) throw std::runtime_error("no plug-in control object");
        if (com::FAILED(Control->GetDllInterface(&Driver)) || !Driver)
            throw std::runtime_error("no driver object");
        Entry = GuardedCallEntryFromQuery(FQuery);
        TParams block;
        block.MethodName = "__@@EventSupport";
        block.Context = static_cast<IUnknown*>(&Sink);
        Entry(&block, nullptr);
    }
    ~TPluginHarness() {
        Unload();
        if (FClockInstalled) user::SetClock(FPreviousClock);
        user::SetFocusThread(FPreviousFocus);
    }
    TPluginHarness(const TPluginHarness&) = delete;
    TPluginHarness& operator=(const TPluginHarness&) = delete;

    // Withdraws the sink, releases the devices ("__FRee"), then unloads the library.
    void Unload() {
        if (!FHandle) return;
        // The sink is withdrawn before the library goes: nothing in it may still call the sink.
        if (Driver) Driver->SetEventSupport(nullptr);
        TParams block;
        block.MethodName = "__FRee";
        Entry(&block, nullptr);
        if (Driver) Driver->Release();
        if (Control) Control->Release();
        Driver = nullptr;
        Control = nullptr;
        FBeforeFree();
        dlclose(FHandle);
        FHandle = nullptr;
        Pump();
    }

    TE2EOutcome Call(std::u16string_view name, int kind, std::vector<com::OleVariant> args = {}) {
        TParams block;
        block.MethodName = "Call";
        Entry(&test::CallBlock(block, name, kind, args), nullptr);
        TE2EOutcome outcome{
            block.Error, block.ErrorCode, rtl::VarToWide(block.ErrorDescription), block.Get(0), {}};
        for (std::uint32_t i = 3; i < block.Count(); ++i)
            outcome.Args.push_back(block.Get(static_cast<std::int32_t>(i)));
        return outcome;
    }
    TE2EOutcome Method(std::u16string_view name, std::vector<com::OleVariant> args = {}) {
        return Call(name, 1, std::move(args));
    }

    // Adds a scanner with `settings`, makes it current and switches it on; its identifier.
    std::u16string AddScanner(const TScannerSettings& settings = {}) {
        GUID id{};
        com::CoCreateGuid(&id);
        char guid[40];
        std::snprintf(guid, sizeof guid, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                      id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                      id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
        const std::string name = "Scanner " + std::to_string(++FScanners);
        const std::string text =
            "<Устройство Код=\"" + std::string(guid) + "\" КодМодели=\"\" Наименование=\"" + name +
            "\"><Параметры>" + Param("HookPref", settings.Prefix) +
            Param("HookPost", settings.Suffix) +
            Param("HookTimeOut", std::to_string(settings.TimeOut)) +
            Param("UseInterCharInterval", std::to_string(settings.InterChar)) +
            Param("MinDataLen", std::to_string(settings.MinDataLen)) + "</Параметры></Устройство>";
        Require(Method(u"AddDevice", {com::OleVariant(kernel::Utf8ToWide(text))}), "AddDevice");
        const auto count = Call(u"DevicesQuantity", 2);
        Require(Method(u"ChoiceDevice", {com::OleVariant(rtl::VarToInt(count.Result))}),
                "ChoiceDevice");
        Require(Method(u"SwitchOn", {com::OleVariant(0)}), "SwitchOn");
        return kernel::Utf8ToWide(name);
    }

    // The keys that type `c` on the US layout, down and up, then the messages pumped.
    void TypeChar(char c) {
        const auto stroke = user::CharToKey(c);
        if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
        if (stroke->Shift) test::KeyboardEvent(user::VK_LSHIFT);
        if (stroke->Control) test::KeyboardEvent(user::VK_LCONTROL);
        test::KeyboardEvent(stroke->Key);
        test::KeyboardEvent(stroke->Key, user::KEYEVENTF_KEYUP);
        if (stroke->Control) test::KeyboardEvent(user::VK_LCONTROL, user::KEYEVENTF_KEYUP);
        if (stroke->Shift) test::KeyboardEvent(user::VK_LSHIFT, user::KEYEVENTF_KEYUP);
        Pump();
    }
    // Types `text` with `intervalMs` of virtual time after each key.
    void TypeText(std::string_view text, int intervalMs) {
        for (char c : text) {
            TypeChar(c);
            Advance(intervalMs);
        }
    }
    // Lets `ms` milliseconds of virtual time pass, pumping as they come.
    void Advance(int ms) {
        for (int i = 0; i < ms; ++i) {
            FClock.Advance(1);
            Pump();
        }
        Pump();
    }
    void Pump() {
        user::MSG msg{};
        while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
            user::TranslateMessage(&msg);
            if (msg.message == user::WM_CHAR) App.push_back(static_cast<char>(msg.wParam));
            user::DispatchMessageA(&msg);
        }
    }

    TE2ESink Sink;
    IPluginControl* Control = nullptr;
    IDllObject* Driver = nullptr;
    CallEntryFunc Entry = nullptr;
    std::string App; // the characters that reached the application

  private:
    static std::string Param(const char* name, const std::string& value) {
        return std::string("<Параметр Идентификатор=\"") + name + "\" Зна4ение=\"" + value + "\"/>";
    }
    static void Require(const TE2EOutcome& outcome, const char* what) {
        if (outcome.Failed)
            throw std::runtime_error(std::string(what) +
                                     " failed: " + kernel::WideToUtf8(outcome.Text));
    }

    user::TVirtualClock FClock{1000};
    user::TClock* FPreviousClock = nullptr;
    bool FClockInstalled = false;
    user::DWORD FPreviousFocus = 0;
    void* FHandle = nullptr;
    QueryFunc FQuery = nullptr;
    BeforeFreeLibraryFunc FBeforeFree = nullptr;
    int FScanners = 0;
};

} // namespace quill::test
