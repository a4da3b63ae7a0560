#include "exchange/autoobject/late_bound_call.h"

#include "platform/com/dispatch_invoke.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/exception.h"

#include <string>

namespace quill::exchange {

using namespace com;

OleVariant CallByName(IDispatch* object, std::u16string_view name,
                      std::initializer_list<VARIANT> args, WORD flags) {
    if (!object) throw rtl::EOleSysError("Nil object reference", E_POINTER);
    OleVariant result;
    EXCEPINFO failure{};
    const HRESULT hr = DispatchInvoke(object, name, flags, args.begin(),
                                      static_cast<UINT>(args.size()), &result, &failure);
    if (SUCCEEDED(hr)) return result;
    std::u16string text = TextFromBStr(failure.bstrDescription);
    ClearExcepInfo(&failure);
    if (text.empty()) text = u"Member '" + std::u16string(name) + u"' failed";
    throw rtl::EOleSysError(kernel::WideToAnsi(text), hr);
}

} // namespace quill::exchange
