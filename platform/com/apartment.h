// Joining a thread to COM.
//
// On Windows a thread joins COM before it uses the running-object table or creates the system's
// COM objects; the host joins its own threads, and a program of our own (a test program) joins
// its main thread with CoInitializeEx. Each successful call (S_OK, or S_FALSE when the thread had
// joined already) is balanced by one CoUninitialize on the same thread. Where there is no COM to
// join (the Linux stand-in) both succeed and do nothing.
#pragma once

#include "platform/com/com_types.h"

namespace quill::com {

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
// RPC_E_CHANGED_MODE: the thread has joined already with the other threading model.
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106u);

HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

} // namespace quill::com
