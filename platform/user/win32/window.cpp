// Windows on Windows: the system's classes and windows. Classes are registered for the module
// that holds these services; a window made without a parent is a message-only window, as the
// library's windows are message targets only.
//
// The system calls one entry for the windows of these classes (win32/window_entry.h). It hands a
// procedure the messages the contract knows (user_types.h) and every message from WM_USER up; the
// system's own window management (WM_NCCREATE, WM_NCCALCSIZE, WM_WINDOWPOSCHANGING...) goes
// straight to the system's default handling, so that a procedure written to the contract behaves
// the same on both systems. Each window keeps its procedure in its extra bytes (0: the class's).
#include "platform/user/window.h"

#include "platform/user/win32/user_system.h"
#include "platform/user/win32/window_entry.h"

#include <mutex>
#include <unordered_map>

// On 32-bit Windows the system's headers make these names macros for GetWindowLongA and
// SetWindowLongA; the contract's functions keep their own names.
#undef GetWindowLongPtrA
#undef SetWindowLongPtrA

namespace quill::user {

using win32::Ours;
using win32::Sys;

static_assert(sizeof(CREATESTRUCTA) == sizeof(::CREATESTRUCTA));
static_assert(offsetof(CREATESTRUCTA, lpCreateParams) == offsetof(::CREATESTRUCTA, lpCreateParams));
static_assert(offsetof(CREATESTRUCTA, hwndParent) == offsetof(::CREATESTRUCTA, hwndParent));
static_assert(offsetof(CREATESTRUCTA, style) == offsetof(::CREATESTRUCTA, style));
static_assert(offsetof(CREATESTRUCTA, lpszClass) == offsetof(::CREATESTRUCTA, lpszClass));
static_assert(offsetof(CREATESTRUCTA, dwExStyle) == offsetof(::CREATESTRUCTA, dwExStyle));

namespace win32 {

namespace {
thread_local TFailureScope* tScope = nullptr;
} // namespace

bool KeepFailure(std::exception_ptr failure) {
    if (!tScope || !tScope->FRaising) return false;
    if (!tScope->FFailure) tScope->FFailure = std::move(failure); // the first one is reported
    return true;
}

TFailureScope::TFailureScope(bool raising) : FOuter(tScope), FRaising(raising) {
    tScope = this;
}

TFailureScope::~TFailureScope() {
    tScope = FOuter;
}

void TFailureScope::RaiseKept() {
    if (FFailure) std::rethrow_exception(std::exchange(FFailure, nullptr));
}

} // namespace win32

namespace {

struct TClassProcs {
    std::mutex Lock;
    std::unordered_map<::ATOM, WNDPROC> Procs;
};

TClassProcs& ClassProcs() {
    static TClassProcs* procs = new TClassProcs; // outlives threads that end during exit
    return *procs;
}

// The procedure of a window of these classes; nil for any other window.
WNDPROC ProcOf(::HWND hwnd, bool* ours = nullptr) {
    const ::ATOM atom = static_cast<::ATOM>(::GetClassWord(hwnd, GCW_ATOM));
    TClassProcs& classes = ClassProcs();
    WNDPROC proc = nullptr;
    {
        std::lock_guard guard(classes.Lock);
        const auto it = classes.Procs.find(atom);
        if (it == classes.Procs.end()) {
            if (ours) *ours = false;
            return nullptr;
        }
        proc = it->second;
    }
    if (ours) *ours = true;
    if (const LONG own = ::GetWindowLongA(hwnd, 0)) proc = reinterpret_cast<WNDPROC>(own);
    return proc;
}

bool ContractMessage(::UINT message) {
    switch (message) {
    case WM_NULL:
    case WM_CREATE:
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_GETOBJECT:
    case WM_NCDESTROY:
    case WM_TIMER:
        return true;
    default:
        return message >= WM_USER || (message >= WM_KEYFIRST && message <= WM_KEYLAST);
    }
}

::LRESULT CALLBACK WindowEntry(::HWND hwnd, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    const WNDPROC proc = ContractMessage(message) ? ProcOf(hwnd) : nullptr;
    if (!proc) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    try {
        return proc(Ours(hwnd), message, wParam, lParam);
    } catch (...) {
        win32::KeepFailure(std::current_exception());
        return message == WM_CREATE ? -1 : 0;
    }
}

} // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        !*windowClass->lpszClassName) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ::WNDCLASSA system{};
    system.style = windowClass->style;
    system.lpfnWndProc = &WindowEntry;
    system.cbWndExtra = sizeof(LONG); // the window's own procedure, when it has one
    system.hInstance = win32::OwnModule();
    system.lpszClassName = windowClass->lpszClassName;
    TClassProcs& classes = ClassProcs();
    std::lock_guard guard(classes.Lock);
    const ::ATOM atom = ::RegisterClassA(&system);
    if (atom) classes.Procs[atom] = windowClass->lpfnWndProc;
    return atom;
}

BOOL UnregisterClassA(const char* className) {
    ::WNDCLASSEXA system{};
    system.cbSize = sizeof(system);
    const ::ATOM atom = static_cast<::ATOM>(
        className ? ::GetClassInfoExA(win32::OwnModule(), className, &system) : 0);
    if (!::UnregisterClassA(className, win32::OwnModule())) return FALSE;
    TClassProcs& classes = ClassProcs();
    std::lock_guard guard(classes.Lock);
    classes.Procs.erase(atom);
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     HWND parent, void* param) {
    // HWND_MESSAGE, spelled out: inside this namespace the macro's cast would name our HWND.
    const ::HWND owner = parent ? Sys(parent) : reinterpret_cast<::HWND>(std::intptr_t{-3});
    return win32::Raising([&] {
        return Ours(::CreateWindowExA(exStyle, className, windowName, style, 0, 0, 0, 0, owner,
                                      nullptr, win32::OwnModule(), param));
    });
}

BOOL DestroyWindow(HWND hwnd) {
    return win32::Raising([&] { return ::DestroyWindow(Sys(hwnd)); });
}

BOOL IsWindow(HWND hwnd) {
    return ::IsWindow(Sys(hwnd));
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    ::DWORD process = 0;
    const ::DWORD thread = ::GetWindowThreadProcessId(Sys(hwnd), &process);
    if (!thread) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId) *processId = process;
    return thread;
}

DWORD GetWindowStyle(HWND hwnd) {
    return static_cast<DWORD>(::GetWindowLongA(Sys(hwnd), GWL_STYLE));
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    if (index != GWLP_USERDATA && index != GWLP_WNDPROC) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool ours = false;
    if (index == GWLP_WNDPROC)
        if (const WNDPROC proc = ProcOf(Sys(hwnd), &ours); ours)
            return reinterpret_cast<LONG_PTR>(proc);
    return ::GetWindowLongA(Sys(hwnd), index);
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    if (index != GWLP_USERDATA && !(index == GWLP_WNDPROC && value)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool ours = false;
    if (index == GWLP_WNDPROC)
        if (const WNDPROC previous = ProcOf(Sys(hwnd), &ours); ours) {
            ::SetWindowLongA(Sys(hwnd), 0, value);
            return reinterpret_cast<LONG_PTR>(previous);
        }
    return ::SetWindowLongA(Sys(hwnd), index, value);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(Sys(hwnd), message, wParam, lParam);
}

} // namespace quill::user
