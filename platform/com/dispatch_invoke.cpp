#include "platform/com/dispatch_invoke.h"

#include <cstring>
#include <string>
#include <vector>

namespace quill::com {

void ClearExcepInfo(EXCEPINFO* info) {
    if (!info) return;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    std::memset(static_cast<void*>(info), 0, sizeof(EXCEPINFO));
}

HRESULT DispatchInvoke(IDispatch* object, std::u16string_view name, WORD flags,
                       const VARIANT* args, UINT count, VARIANT* result, EXCEPINFO* exception) {
    if (!object || (count > 0 && !args)) return E_INVALIDARG;
    std::u16string text(name);
    OLECHAR* names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    if (HRESULT hr = object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id); FAILED(hr)) return hr;

    // Shallow copies: the callee reads and writes through them, ownership stays with the caller.
    std::vector<VARIANT> reversed(count);
    for (UINT i = 0; i < count; ++i)
        std::memcpy(static_cast<void*>(&reversed[count - 1 - i]), &args[i], sizeof(VARIANT));
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, count, 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    if (exception) std::memset(static_cast<void*>(exception), 0, sizeof(EXCEPINFO));
    UINT argumentError = 0;
    return object->Invoke(id, GUID_NULL, 0, flags, &params, result, exception, &argumentError);
}

} // namespace quill::com
