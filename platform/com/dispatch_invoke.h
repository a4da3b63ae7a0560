// The caller's side of a late-bound call: look a member up by name and invoke it.
//
// DispatchInvoke builds the argument descriptor the way IDispatch expects it: the arguments are
// given here in natural order and stored last-first; a by-reference argument is a VARIANT with
// VT_BYREF that points at the caller's storage, so the callee can write through it. A property
// write passes its value with the named argument DISPID_PROPERTYPUT. The argument VARIANTs are
// lent, not copied: they stay the caller's.
//
// Errors are the callee's HRESULTs. On DISP_E_EXCEPTION the callee's exception information is in
// `exception` (when given), whose texts the caller frees with ClearExcepInfo. Thread-safe as far
// as the called object is.
#pragma once

#include "platform/com/dispatch.h"

#include <string_view>

namespace quill::com {

// Frees the texts of `info` and zeroes it.
void ClearExcepInfo(EXCEPINFO* info);

// The code that an EXCEPINFO reports: its wCode when set, else its scode.
inline SCODE ExcepInfoCode(const EXCEPINFO& info) {
    return info.wCode ? static_cast<SCODE>(info.wCode) : info.scode;
}

// Invokes member `name` of `object` with `count` arguments in natural order. `result` may be nil.
HRESULT DispatchInvoke(IDispatch* object, std::u16string_view name, WORD flags,
                       const VARIANT* args, UINT count, VARIANT* result, EXCEPINFO* exception);

} // namespace quill::com
