// The records of late-bound calls cross to the system and to the host as they are: our
// DISPPARAMS and EXCEPINFO have the system's 32-bit layouts, checked here field by field.
#include "platform/com/dispatch.h"

#include <windows.h>
#include <oleauto.h>

#include <cstddef>

namespace quill::com {

static_assert(sizeof(DISPPARAMS) == sizeof(::DISPPARAMS) && sizeof(DISPPARAMS) == 16);
static_assert(offsetof(DISPPARAMS, rgvarg) == offsetof(::DISPPARAMS, rgvarg));
static_assert(offsetof(DISPPARAMS, rgdispidNamedArgs) == offsetof(::DISPPARAMS, rgdispidNamedArgs));
static_assert(offsetof(DISPPARAMS, cArgs) == offsetof(::DISPPARAMS, cArgs) &&
              offsetof(DISPPARAMS, cArgs) == 8);
static_assert(offsetof(DISPPARAMS, cNamedArgs) == offsetof(::DISPPARAMS, cNamedArgs) &&
              offsetof(DISPPARAMS, cNamedArgs) == 12);

static_assert(sizeof(EXCEPINFO) == sizeof(::EXCEPINFO) && sizeof(EXCEPINFO) == 32);
static_assert(offsetof(EXCEPINFO, wCode) == offsetof(::EXCEPINFO, wCode));
static_assert(offsetof(EXCEPINFO, bstrSource) == offsetof(::EXCEPINFO, bstrSource));
static_assert(offsetof(EXCEPINFO, bstrDescription) == offsetof(::EXCEPINFO, bstrDescription));
static_assert(offsetof(EXCEPINFO, bstrHelpFile) == offsetof(::EXCEPINFO, bstrHelpFile));
static_assert(offsetof(EXCEPINFO, dwHelpContext) == offsetof(::EXCEPINFO, dwHelpContext));
static_assert(offsetof(EXCEPINFO, pfnDeferredFillIn) == offsetof(::EXCEPINFO, pfnDeferredFillIn));
static_assert(offsetof(EXCEPINFO, scode) == offsetof(::EXCEPINFO, scode));

// Texts are 16-bit code units on both sides, and a text or object reference is 32 bits wide.
static_assert(sizeof(OLECHAR) == sizeof(::OLECHAR) && sizeof(BSTR) == 4 && sizeof(DISPID) == 4);

} // namespace quill::com
