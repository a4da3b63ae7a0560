#include "plugin/control/call_entry.h"

#include "infra/codes/coded_exception.h"
#include "plugin/driver/base_dll_obj.h"

namespace quill::plugin {

bool WINAPI CallEntry(exchange::TParams* params, rtl::TObject* context) {
    if (!DllObject) infra::RaiseCodedError(infra::codes::NoDriverObject);
    return DllObject->Dispatch(params, context);
}

bool WINAPI GuardedCallEntry(exchange::TParams* params, rtl::TObject* context) noexcept {
    if (!params) return false;
    params->Error = false;
    try {
        return CallEntry(params, context);
    } catch (...) {
        try {
            params->SetErrorFromCurrentException();
        } catch (...) {
            // Recording the failure itself failed (memory): the flag and code still tell it.
            params->Error = true;
            params->ErrorCode = infra::codes::FreeText;
        }
        return false;
    }
}

} // namespace quill::plugin
