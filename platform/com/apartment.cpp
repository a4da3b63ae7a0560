// The stand-in has no apartments: every thread may use every COM service at any time.
#include "platform/com/apartment.h"

namespace quill::com {

HRESULT CoInitializeEx(void*, DWORD) {
    return S_OK;
}

void CoUninitialize() {}

} // namespace quill::com
