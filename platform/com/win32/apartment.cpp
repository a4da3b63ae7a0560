// Joining a thread to COM on Windows: the system's (ole32).
#include "platform/com/apartment.h"

#include <windows.h>
#include <objbase.h>

namespace quill::com {

static_assert(COINIT_APARTMENTTHREADED == ::COINIT_APARTMENTTHREADED &&
              COINIT_MULTITHREADED == ::COINIT_MULTITHREADED);

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
    return ::CoInitializeEx(reserved, flags);
}

void CoUninitialize() {
    ::CoUninitialize();
}

} // namespace quill::com
