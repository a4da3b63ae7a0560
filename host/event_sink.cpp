#include "host/event_sink.h"

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"

namespace quill::host {

THostEventSink::THostEventSink(std::uint32_t uiThreadId, Callback callback)
    : FUiThread(uiThreadId), FCallback(std::move(callback)) {}

HRESULT STDMETHODCALLTYPE THostEventSink::QueryInterface(com::REFIID iid, void** object) {
    if (!object) return com::E_POINTER;
    if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
        *object = static_cast<IEventSupport2*>(this);
        AddRef();
        return com::S_OK;
    }
    *object = nullptr;
    return com::E_NOINTERFACE;
}

com::ULONG STDMETHODCALLTYPE THostEventSink::Release() {
    const com::ULONG left = --FRefCount;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE THostEventSink::ExternalEvent(BSTR source, BSTR event, BSTR data,
                                                        GUID* deviceGuid) {
    try {
        THostEvent e{com::TextFromBStr(source), com::TextFromBStr(event), com::TextFromBStr(data),
                     deviceGuid ? *deviceGuid : GUID{}};
        if (FCallback) FCallback(e);
        return com::S_OK;
    } catch (...) {
        return com::E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE THostEventSink::CreateValueArray(IDispatch** array) {
    if (!array) return com::E_POINTER;
    *array = nullptr;
    return com::CoCreateInstance(ValueArrayClassGuid, nullptr, IDispatch::Guid,
                                 reinterpret_cast<void**>(array));
}

HRESULT STDMETHODCALLTYPE THostEventSink::GetHookThreadId(std::uint32_t* threadId) {
    if (!threadId) return com::E_POINTER;
    *threadId = FUiThread;
    return com::S_OK;
}

} // namespace quill::host
