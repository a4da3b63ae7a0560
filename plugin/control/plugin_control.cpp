#include "plugin/control/plugin_control.h"

#include "infra/codes/coded_exception.h"
#include "plugin/driver/base_dll_obj.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/safecall.h"

namespace quill::plugin {

namespace {

// The application object of this library: the module itself stands for it.
int gApplicationAnchor = 0;

} // namespace

std::intptr_t ApplicationObject() {
    return reinterpret_cast<std::intptr_t>(&gApplicationAnchor);
}

TPluginControl::TPluginControl(TBaseDllObj** dllObjectRef, CallEntryFunc callEntry)
    : DllObjectRef(dllObjectRef), CallEntry(callEntry) {
    IPluginControl* self = nullptr;
    QueryInterface(IPluginControl::Guid, reinterpret_cast<void**>(&self));
    SetPluginControlHolder(self);
}

TPluginControl::~TPluginControl() {
    if (PluginControlHolder() == this) SetPluginControlHolder(nullptr);
}

TBaseDllObj* TPluginControl::GetDllObject() {
    if (!DllObjectRef)
        infra::RaiseErrorText(kernel::WideToAnsi(u"Обработчик GetDllObject не назначен"));
    if (!*DllObjectRef) infra::RaiseErrorText(kernel::WideToAnsi(u"GetDllObject вернул Nil"));
    return *DllObjectRef;
}

HRESULT STDMETHODCALLTYPE TPluginControl::QueryInterface(com::REFIID iid, void** object) {
    if (!object) return com::E_POINTER;
    if (iid == IUnknown::Guid || iid == IPluginControl::Guid) {
        *object = static_cast<IPluginControl*>(this);
        return com::S_OK;
    }
    *object = nullptr;
    return com::E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TPluginControl::Reserved1(std::int32_t value) {
    return rtl::SafeCall([&] { DoReserved1(value); });
}

HRESULT STDMETHODCALLTYPE TPluginControl::Reserved2(std::int32_t value) {
    return rtl::SafeCall([&] { DoReserved2(value); });
}

HRESULT STDMETHODCALLTYPE TPluginControl::GetCallEntry(CallEntryFunc* entry) {
    return rtl::SafeCall([&] {
        if (!entry) throw rtl::EOleSysError("Nil out parameter", com::E_POINTER);
        *entry = CallEntry;
    });
}

HRESULT STDMETHODCALLTYPE TPluginControl::GetDllInterface(IDllObject** object) {
    return rtl::SafeCall([&] {
        if (!object) throw rtl::EOleSysError("Nil out parameter", com::E_POINTER);
        *object = nullptr;
        TBaseDllObj* driver = GetDllObject();
        void* found = nullptr;
        if (com::FAILED(driver->QueryInterface(IDllObject::Guid, &found)) || !found)
            infra::RaiseCodedError(infra::codes::NoDriverObject);
        *object = static_cast<IDllObject*>(found);
    });
}

HRESULT STDMETHODCALLTYPE TPluginControl::SetApplication(std::int32_t) {
    return rtl::SafeCall([&] {
        if (ApplicationRef == -1) ApplicationRef = ApplicationObject();
    });
}

} // namespace quill::plugin
