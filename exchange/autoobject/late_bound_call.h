// Late-bound calls from the library's side: call a member of any automation object by name and
// get its result, or an exception carrying the callee's message.
//
// Arguments are given in natural order; a by-reference argument is a VARIANT with VT_BYREF that
// points at the caller's storage and receives what the callee writes back. A failure of the
// callee raises rtl::EOleSysError with the callee's description (Windows-1251) and its HRESULT;
// an unknown name raises the same with the lookup's HRESULT. Thread-safe as far as the callee is.
#pragma once

#include "platform/com/dispatch.h"

#include <initializer_list>
#include <string_view>

namespace quill::exchange {

com::OleVariant CallByName(com::IDispatch* object, std::u16string_view name,
                           std::initializer_list<com::VARIANT> args = {},
                           com::WORD flags = com::DISPATCH_METHOD | com::DISPATCH_PROPERTYGET);

} // namespace quill::exchange
