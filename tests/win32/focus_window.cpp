#include "win32/focus_window.h"

#include "platform/user/message_queue.h"

#include <windows.h>

#include <algorithm>

namespace quill::test {

namespace {

constexpr const char* kClassName = "QuillTestFocusWindow";

LRESULT CALLBACK FocusWindowProc(::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TFocusWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && ((message >= WM_KEYFIRST && message <= WM_KEYLAST))) {
        user::MSG msg{};
        msg.hwnd = reinterpret_cast<user::HWND>(hwnd);
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        self->Received.push_back(msg);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

TFocusWindow::TFocusWindow() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &FocusWindowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassA(&windowClass) != 0;
    }();
    if (!registered) return;
    const ::HWND hwnd =
        ::CreateWindowExA(WS_EX_TOPMOST, kClassName, "Quill test", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                          100, nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
    FHandle = reinterpret_cast<user::HWND>(hwnd);
    if (!hwnd) return;
    ::SetForegroundWindow(hwnd);
    ::SetFocus(hwnd);
    FReady = PumpUntil([hwnd] { return ::GetForegroundWindow() == hwnd && ::GetFocus() == hwnd; });
    Drain();
    Received.clear();
}

TFocusWindow& TFocusWindow::OfThisProgram() {
    static TFocusWindow* window = new TFocusWindow; // never destroyed: see the header
    return *window;
}

TFocusWindow::~TFocusWindow() {
    if (FHandle) ::DestroyWindow(reinterpret_cast<::HWND>(FHandle));
    Drain();
}

bool TFocusWindow::PumpUntil(const std::function<bool()>& done, user::DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        user::MSG msg{};
        while (user::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            user::TranslateMessage(&msg);
            user::DispatchMessageA(&msg);
            if (done()) return true;
        }
        if (done()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        // In short slices: the focus can change without a message for this thread.
        const user::DWORD slice = static_cast<user::DWORD>(std::min<ULONGLONG>(deadline - now, 10));
        user::MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    }
}

void TFocusWindow::Drain() {
    // The system queues the input that SendInput enters before SendInput returns: what is not in
    // the queue now is not on its way.
    user::MSG msg{};
    while (user::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        user::TranslateMessage(&msg);
        user::DispatchMessageA(&msg);
    }
}

unsigned EnterAsKeyboard(const std::vector<user::INPUT>& inputs) {
    std::vector<::INPUT> system(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        system[i].type = INPUT_KEYBOARD;
        system[i].ki.wVk = inputs[i].ki.wVk;
        system[i].ki.wScan = inputs[i].ki.wScan;
        system[i].ki.dwFlags = inputs[i].ki.dwFlags;
        system[i].ki.time = inputs[i].ki.time;
        system[i].ki.dwExtraInfo = inputs[i].ki.dwExtraInfo;
    }
    return ::SendInput(static_cast<UINT>(system.size()), system.data(), sizeof(::INPUT));
}

bool DestroyThreadMessageWindow(const char* className) {
    for (::HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, className, nullptr); window;
         window = ::FindWindowExA(HWND_MESSAGE, window, className, nullptr))
        if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
            return ::DestroyWindow(window) != FALSE;
    return false;
}

user::HWND ActiveWindow() {
    return reinterpret_cast<user::HWND>(::GetActiveWindow());
}

std::vector<std::u16string> WindowTexts(user::HWND window) {
    std::vector<std::u16string> texts;
    auto textOf = [](::HWND hwnd) {
        wchar_t buffer[512] = {};
        const int n = ::GetWindowTextW(hwnd, buffer, 512);
        return std::u16string(buffer, buffer + n);
    };
    const auto hwnd = reinterpret_cast<::HWND>(window);
    texts.push_back(textOf(hwnd));
    for (::HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        texts.push_back(textOf(child));
    return texts;
}

std::uint32_t PixelAt(user::HWND window, int x, int y) {
    const auto hwnd = reinterpret_cast<::HWND>(window);
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
    const HDC dc = ::GetDC(hwnd);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(hwnd, dc);
    return colour;
}

} // namespace quill::test
