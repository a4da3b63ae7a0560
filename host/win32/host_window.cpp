#include "host/win32/host_window.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace quill::host {

namespace {

constexpr const wchar_t* kWindowClass = L"QuillHostWindow";

// Client-area layout, in pixels: the field on top, the scans, the devices, the buttons.
constexpr int kWidth = 640, kHeight = 420;
constexpr int kMargin = 10, kInner = kWidth - 2 * kMargin;
constexpr int kButtonWidth = 120, kButtonHeight = 28;
constexpr int kButtonTop = kHeight - kMargin - kButtonHeight;
constexpr int kDeviceRowHeight = 20;

enum : int { kFieldId = 100, kScansId, kDevicesId, kSettingsId, kCloseId };

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

std::string DeviceLine(const TDeviceView& device) {
    return device.Name + "    prefix \"" + device.Prefix + "\"  suffix \"" + device.Suffix +
           "\"  time-out " + std::to_string(device.TimeoutMs) + " ms  " +
           (device.On ? "on" : "off");
}

} // namespace

struct TWin32HostWindow::TImpl {
    HWND Window = nullptr;
    HWND Field = nullptr;
    HWND ScanList = nullptr;
    HWND DeviceList = nullptr;
    THostWindowCalls Calls;
    std::vector<TScanView> Scans;
    bool Closed = false;
    bool InDialog = false;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Child(const wchar_t* kind, const wchar_t* text, DWORD style, int id, int x, int y, int w,
               int h);
    void ShowDevices();
    // Ends Run; a message wakes its wait when the close came in a message sent from elsewhere.
    void Close() {
        Closed = true;
        ::PostMessageW(Window, WM_NULL, 0, 0);
    }
    void OpenSettings();
    // Handles one retrieved message as the application's loop does.
    void Dispatch(MSG& msg);
};

LRESULT CALLBACK TWin32HostWindow::TImpl::Procedure(HWND hwnd, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TImpl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->Window) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    // Nothing may unwind through the system's frames: a failure here ends the window's loop.
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        std::fputs("quill-host: the window failed and closes\n", stderr);
        self->Closed = true;
        ::PostQuitMessage(1);
        return 0;
    }
}

LRESULT TWin32HostWindow::TImpl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        // The field is where a person types, whatever was clicked before.
        if (LOWORD(wParam) != WA_INACTIVE) ::SetFocus(Field);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kSettingsId && HIWORD(wParam) == BN_CLICKED) {
            OpenSettings();
            return 0;
        }
        if (LOWORD(wParam) == kCloseId && HIWORD(wParam) == BN_CLICKED) {
            // The click gave the button the focus: a key the capture still holds is typed again
            // into the focused control, and belongs in the field.
            ::SetFocus(Field);
            Close();
            return 0;
        }
        break;
    case WM_CLOSE:
        // Kept on screen until the host has read the field: Run returns, the destructor destroys.
        Close();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(Window, message, wParam, lParam);
}

HWND TWin32HostWindow::TImpl::Child(const wchar_t* kind, const wchar_t* text, DWORD style, int id,
                                    int x, int y, int w, int h) {
    HWND child = ::CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, Window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   FALSE);
    return child;
}

void TWin32HostWindow::TImpl::ShowDevices() {
    if (!Calls.Devices) return;
    const LRESULT selected = ::SendMessageW(DeviceList, LB_GETCURSEL, 0, 0);
    ::SendMessageW(DeviceList, LB_RESETCONTENT, 0, 0);
    for (const TDeviceView& device : Calls.Devices())
        ::SendMessageW(DeviceList, LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(DeviceLine(device)).c_str()));
    ::SendMessageW(DeviceList, LB_SETCURSEL, selected == LB_ERR ? 0 : selected, 0);
}

void TWin32HostWindow::TImpl::OpenSettings() {
    // A second click while the dialog is up (its loop runs this window's messages) opens nothing.
    if (InDialog || !Calls.OpenSettings) return;
    const LRESULT selected = ::SendMessageW(DeviceList, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    InDialog = true;
    Calls.OpenSettings(static_cast<std::size_t>(selected));
    InDialog = false;
    ShowDevices();
    ::SetForegroundWindow(Window);
    ::SetFocus(Field);
}

void TWin32HostWindow::TImpl::Dispatch(MSG& msg) {
    ::TranslateMessage(&msg);
    if (msg.message == WM_CHAR && msg.hwnd == Field && Calls.Typed)
        Calls.Typed(static_cast<char16_t>(msg.wParam));
    ::DispatchMessageW(&msg);
}

TWin32HostWindow::TWin32HostWindow() : FImpl(std::make_unique<TImpl>()) {}

TWin32HostWindow::~TWin32HostWindow() {
    if (FImpl->Window) {
        HWND window = FImpl->Window;
        FImpl->Window = nullptr;
        ::DestroyWindow(window);
    }
}

bool TWin32HostWindow::Open(const std::string& title, THostWindowCalls calls, std::string& error) {
    TImpl& self = *FImpl;
    self.Calls = std::move(calls);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &TImpl::Procedure;
    type.hInstance = instance;
    type.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&type) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "the window class cannot be registered (error " + std::to_string(::GetLastError()) +
                ")";
        return false;
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, kWidth, kHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = ::CreateWindowExW(0, kWindowClass, Wide(title).c_str(), style, 0, 0,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                    nullptr, instance, &self);
    if (!window) {
        error = "the window cannot be made (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    self.Window = window;
    int y = kMargin;
    self.Child(L"STATIC", L"Input field (what the application receives):", 0, 0, kMargin, y, kInner,
               18);
    y += 20;
    self.Field = self.Child(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, kFieldId,
                            kMargin, y, kInner, 24);
    y += 34;
    self.Child(L"STATIC", L"Scans:", 0, 0, kMargin, y, kInner, 18);
    y += 20;
    self.ScanList = self.Child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                               kScansId, kMargin, y, kInner, 150);
    y += 160;
    self.Child(L"STATIC", L"Devices:", 0, 0, kMargin, y, kInner, 18);
    y += 20;
    self.DeviceList = self.Child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                 kDevicesId, kMargin, y, kInner, kButtonTop - kMargin - y);
    // Rows of a known height, so that a test (or a touch screen) can pick a device by position.
    ::SendMessageW(self.DeviceList, LB_SETITEMHEIGHT, 0, kDeviceRowHeight);
    self.Child(L"BUTTON", L"Settings...", BS_PUSHBUTTON | WS_TABSTOP, kSettingsId, kMargin,
               kButtonTop, kButtonWidth, kButtonHeight);
    self.Child(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, kCloseId,
               kWidth - kMargin - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight);
    self.ShowDevices();
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    ::SetForegroundWindow(window);
    ::SetFocus(self.Field);
    return true;
}

void TWin32HostWindow::Run() {
    TImpl& self = *FImpl;
    MSG msg{};
    while (!self.Closed) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) return; // WM_QUIT (or a failure: nothing more can arrive)
        self.Dispatch(msg);
    }
}

void TWin32HostWindow::Settle(unsigned ms) {
    TImpl& self = *FImpl;
    const ULONGLONG end = ::GetTickCount64() + ms;
    MSG msg{};
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) self.Dispatch(msg);
    }
}

void TWin32HostWindow::AddScan(const TScanView& scan) {
    TImpl& self = *FImpl;
    self.Scans.push_back(scan);
    if (!self.ScanList) return;
    const std::wstring line = Wide(scan.Time + "   " + scan.Device + "   " + scan.Data);
    const LRESULT at =
        ::SendMessageW(self.ScanList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (at != LB_ERR) ::SendMessageW(self.ScanList, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
}

std::string TWin32HostWindow::FieldText() const {
    HWND field = FImpl->Field;
    if (!field) return {};
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

std::vector<TScanView> TWin32HostWindow::Scans() const {
    return FImpl->Scans;
}

} // namespace quill::host
