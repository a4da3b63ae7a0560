#include "platform/user/window.h"

#include "platform/kernel/last_error.h"
#include "platform/kernel/system_info.h"
#include "platform/user/message_queue.h"
#include "platform/user/user_state_impl.h"

#include <cctype>
#include <utility>

namespace quill::user {

using namespace detail;

namespace {

std::string ClassKey(const char* name) {
    std::string key(name ? name : "");
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        !*windowClass->lpszClassName) {
        kernel::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const std::string key = ClassKey(windowClass->lpszClassName);
    if (state.Classes.count(key)) {
        kernel::SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    state.Classes[key] = {windowClass->style, windowClass->lpfnWndProc, windowClass->lpszClassName};
    // Atoms live in the string-atom range above 0xC000.
    return static_cast<ATOM>(0xC000 + state.Classes.size());
}

BOOL UnregisterClassA(const char* className) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    if (state.Classes.erase(ClassKey(className)) == 0) {
        kernel::SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     HWND parent, void* param) {
    const auto queue = CurrentQueue();
    TUserState& state = State();
    HWND hwnd = nullptr;
    WNDPROC proc = nullptr;
    {
        std::lock_guard guard(state.Lock);
        const auto it = state.Classes.find(ClassKey(className));
        if (it == state.Classes.end()) {
            kernel::SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (parent && !state.Windows.count(parent)) {
            kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        proc = it->second.Proc;
        hwnd = reinterpret_cast<HWND>(state.NextHandle);
        state.NextHandle += 2;
        TWindowRecord record{queue->ThreadId, queue, proc};
        record.Style = style;
        record.ExStyle = exStyle;
        state.Windows.emplace(hwnd, std::move(record));
    }
    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hwndParent = parent;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    LRESULT result = -1;
    try {
        result = proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
    } catch (...) {
        DestroyWindow(hwnd);
        throw;
    }
    if (result == -1) {
        DestroyWindow(hwnd);
        kernel::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    TUserState& state = State();
    std::shared_ptr<TMessageQueue> queue;
    {
        std::lock_guard guard(state.Lock);
        const auto it = state.Windows.find(hwnd);
        if (it == state.Windows.end()) {
            kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (it->second.ThreadId != GetCurrentThreadId()) {
            kernel::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (it->second.Destroying) return TRUE;
        it->second.Destroying = true;
        queue = it->second.Queue;
    }
    // The procedure learns of the end while the handle is still valid; the record goes even if
    // it raises.
    struct TRemove {
        HWND Hwnd;
        std::shared_ptr<TMessageQueue> Queue;
        ~TRemove() {
            TUserState& s = State();
            {
                std::lock_guard guard(s.Lock);
                s.Windows.erase(Hwnd);
            }
            ForgetWindow(*Queue, Hwnd);
        }
    } remove{hwnd, queue};
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return QueueOfWindow(hwnd) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    const auto queue = QueueOfWindow(hwnd);
    if (!queue) {
        kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId) *processId = kernel::GetCurrentProcessId();
    return queue->ThreadId;
}

DWORD GetWindowStyle(HWND hwnd) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Windows.find(hwnd);
    return it == state.Windows.end() ? 0 : it->second.Style;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Windows.find(hwnd);
    if (it == state.Windows.end()) {
        kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index == GWLP_USERDATA) return it->second.UserData;
    if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(it->second.Proc);
    kernel::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Windows.find(hwnd);
    if (it == state.Windows.end()) {
        kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index == GWLP_USERDATA) return std::exchange(it->second.UserData, value);
    if (index == GWLP_WNDPROC && value) {
        return reinterpret_cast<LONG_PTR>(
            std::exchange(it->second.Proc, reinterpret_cast<WNDPROC>(value)));
    }
    kernel::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(hwnd);
    return 0;
}

} // namespace quill::user
