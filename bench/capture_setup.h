// A scanner list with switched-on devices and its keyboard hook on the calling thread, for the
// benchmarks of the capture; scans go to a sink that only counts them.
#pragma once

#include "capture/manager/manager_quill_list.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "quill/host.h"

#include <memory>

namespace quill::bench {

class TSilentSink final : public TEventSupportBase {
  public:
    int Scans = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR, GUID*) override {
        ++Scans;
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch**) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* thread) override {
        *thread = user::GetCurrentThreadId();
        return com::S_OK;
    }
};

inline capture::TManagerQuillList* gList = nullptr;
inline capture::TManagerQuillList* CurrentList() {
    return gList;
}

// A scanner list with `devices` switched-on devices at their defaults, its hook on this thread.
// Where keys go is the caller's concern (TCaptureSetup below on Linux; a focused window on
// Windows).
struct TCaptureList {
    explicit TCaptureList(int devices, const char* prefix = nullptr, const char* suffix = nullptr) {
        user::MSG msg{};
        user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_NOREMOVE);
        list =
            std::make_unique<capture::TManagerQuillList>(rtl::ItemClassOf<capture::TManagerQuill>);
        list->EventSink = com::ComPtr<IEventSupport2>(&sink);
        gList = list.get();
        capture::SetScannerListAccessor(&CurrentList);
        for (int i = 0; i < devices; ++i) {
            auto* device = static_cast<capture::TManagerQuill*>(list->Add());
            if (prefix) device->SetParamStr("HookPref", prefix);
            if (suffix) device->SetParamStr("HookPost", suffix);
            device->SetState(1);
        }
    }
    ~TCaptureList() {
        list.reset();
        gList = nullptr;
        capture::SetScannerListAccessor(nullptr);
    }
    TCaptureList(const TCaptureList&) = delete;
    TCaptureList& operator=(const TCaptureList&) = delete;
    TSilentSink sink;
    std::unique_ptr<capture::TManagerQuillList> list;
};

} // namespace quill::bench
