// TPluginControl: the plug-in control object through which the host reaches the driver object
// and the raw call entry (interface IPluginControl).
//
// It is created by the driver object's construction with a reference to the variable that will
// hold the driver object (not with the object, which is not stored there yet) and with the call
// entry; it registers itself in the plug-in control holder that the export PluginControl hands
// out, and clears the holder again when it is destroyed. Its interface methods never throw: a
// failure returns E_UNEXPECTED (or the failure's own platform code) with the message in the
// thread's error information. Owned by the driver object; host references are not counted
// against its life (like a component's interface), so they are stale after unload.
#pragma once

#include "exchange/module/plugin_control_holder.h"
#include "quill/host.h"

#include <cstdint>

namespace quill::plugin {

class TBaseDllObj;

class TPluginControl : public IPluginControl {
  public:
    TPluginControl(TBaseDllObj** dllObjectRef, CallEntryFunc callEntry);
    TPluginControl(const TPluginControl&) = delete;
    TPluginControl& operator=(const TPluginControl&) = delete;
    virtual ~TPluginControl();

    // The driver object; code 20000 when no variable was given or it holds nil.
    virtual TBaseDllObj* GetDllObject();
    virtual void DoReserved1(std::int32_t) {}
    virtual void DoReserved2(std::int32_t) {}

    // IUnknown: a component's own counting; the object's life is its owner's.
    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IPluginControl
    HRESULT STDMETHODCALLTYPE Reserved1(std::int32_t value) override;
    HRESULT STDMETHODCALLTYPE Reserved2(std::int32_t value) override;
    HRESULT STDMETHODCALLTYPE GetCallEntry(CallEntryFunc* entry) override;
    HRESULT STDMETHODCALLTYPE GetDllInterface(IDllObject** object) override;
    HRESULT STDMETHODCALLTYPE SetApplication(std::int32_t ignored) override;

    TBaseDllObj** DllObjectRef;
    CallEntryFunc CallEntry;
    std::intptr_t ApplicationRef = -1;
};

using exchange::PluginControlHolder;
using exchange::SetPluginControlHolder;

// The library's application object, recorded by SetApplication.
std::intptr_t ApplicationObject();

} // namespace quill::plugin
