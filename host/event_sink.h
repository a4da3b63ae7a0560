// THostEventSink: the host's event sink (IEventSupport2) that the host hands to the plug-in.
//
// ExternalEvent passes each event (source, event name, data, device GUID) to the callback given at
// construction; CreateValueArray makes the host's own value array (value_table.h);
// GetHookThreadId answers the host's UI thread. The other operations of the interface are not
// used by the plug-in and answer E_NOTIMPL. The object is reference-counted; the plug-in keeps a
// reference while it holds the sink. Events arrive on the UI thread; the callback runs there.
#pragma once

#include "quill/host.h"

#include <atomic>
#include <functional>
#include <string>

namespace quill::host {

struct THostEvent {
    std::u16string Source;
    std::u16string Name;
    std::u16string Data;
    GUID Device{};
};

class THostEventSink : public TEventSupportBase {
  public:
    using Callback = std::function<void(const THostEvent&)>;
    THostEventSink(std::uint32_t uiThreadId, Callback callback);

    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
    com::ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR event, BSTR data,
                                            GUID* deviceGuid) override;
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override;
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override;

  private:
    virtual ~THostEventSink() = default;

    std::atomic<com::ULONG> FRefCount{1};
    std::uint32_t FUiThread;
    Callback FCallback;
};

} // namespace quill::host
