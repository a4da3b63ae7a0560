// Windows: classes with a window procedure, and windows created from them.
//
// A window belongs to the thread that created it; its messages go to that thread's queue, and only
// that thread may destroy it. CreateWindowExA sends WM_CREATE (lParam: the CREATESTRUCTA) and
// fails, destroying the window again, when the procedure returns -1. DestroyWindow sends
// WM_DESTROY and WM_NCDESTROY, kills the window's timers and drops its queued messages. When a
// thread ends, its windows are removed without messages (their owners are gone). The window
// registry is thread-safe; failures return 0/FALSE and set the last error (kernel/last_error.h).
// Geometry, painting and parent-child trees are not part of this layer: the library's windows are
// message targets only. On Windows a window made without a parent is a message-only window, so it
// is never shown and takes no broadcasts; classes belong to the module that holds this layer. Its
// procedure sees the messages user_types.h names and those from WM_USER up, the rest going to the
// system's default handling, and an exception it raises reaches the caller of DispatchMessageA,
// SendMessageA, CreateWindowExA or DestroyWindow of this layer; under any other loop (the host's
// own) it is dropped and the message's result is 0.
#pragma once

#include "platform/user/user_types.h"

namespace quill::user {

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    const char* lpszClassName;
};

// The system's layout, so that on Windows WM_CREATE's lParam is read as it is given; the module
// and menu handles and the geometry are 0 here.
struct CREATESTRUCTA {
    void* lpCreateParams;
    void* hInstance;
    void* hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

// Class names compare ignoring case. 0 when the name is taken or the record is incomplete.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(const char* className);

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     HWND parent, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// The creating thread's id (and the process id), or 0 for a handle that is no window.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
DWORD GetWindowStyle(HWND hwnd);

// GWLP_USERDATA and GWLP_WNDPROC; Set returns the previous value.
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
// The default handling: WM_CLOSE destroys the window; everything else gives 0.
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace quill::user
