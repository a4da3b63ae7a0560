#include "host/event_sink.h"

#include "host/value_table.h"
#include "platform/com/bstr.h"

#include <new>

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
    // The host's own table: the plug-in's value-array class lives in the plug-in's run-time.
    *array = new (std::nothrow) TValueTable;
    return *array ? com::S_OK : com::E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE THostEventSink::GetHookThreadId(std::uint32_t* threadId) {
    if (!threadId) return com::E_POINTER;
    *threadId = FUiThread;
    return com::S_OK;
}

} // namespace quill::host
