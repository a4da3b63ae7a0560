// The Win32 backend: draws a form model as a modal window of native controls and feeds what the
// user does back into the model, as the FLTK backend does on Linux.
//
// Every control is a child of the form's window at its position in the form (group boxes are
// frames drawn behind their children). Texts are Windows-1251 in the model and UTF-16 on screen;
// fonts are the model's name and height. Colours that the model sets (form, control and text
// colours) are painted; system colours stay the system's own. The track bar is the common controls'
// one, with the model's range, steps and tick frequency, so its keys move it as the model would.
// Tab follows the model's tab order, Enter and Escape are the model's (UserEnter, UserCancel), as
// is the close box. After every user action the controls are brought up to date from the model
// (texts that handlers rewrote, the focus a handler moved); the window goes when the model has
// accepted a modal result. The owner (the thread's active window) is disabled while the form is
// shown.
//
// An exception from the model's handlers is caught inside the window procedure (it must not cross
// the system's frames), the form is taken down, and it is raised again from RunModal. A quit
// request ends the show (the form counts as cancelled) and is posted again for the caller's loop.
#include "platform/kernel/codepage.h"
#include "platform/ui/form_backend.h"

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The system's headers name MessageBox as a macro for MessageBoxA.
#undef MessageBox

namespace quill::ui {

namespace {

constexpr const wchar_t* kFormClass = L"QuillForm";

std::wstring Wide(const std::string& ansi) {
    const std::u16string wide = kernel::AnsiToWide(ansi);
    return std::wstring(wide.begin(), wide.end());
}

std::string Ansi(const std::wstring& wide) {
    return kernel::WideToAnsi(std::u16string(wide.begin(), wide.end()));
}

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

HINSTANCE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

class TWin32Form {
  public:
    explicit TWin32Form(TForm& form) : FForm(form) {}
    ~TWin32Form() {
        if (FWindow) ::DestroyWindow(FWindow);
        for (HFONT font : FFonts)
            ::DeleteObject(font);
        for (const auto& brush : FBrushes)
            ::DeleteObject(brush.second);
    }
    TWin32Form(const TWin32Form&) = delete;
    TWin32Form& operator=(const TWin32Form&) = delete;

    bool Create(HWND owner);
    TModalResult Run(HWND owner);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The brush and text colour of a control (WM_CTLCOLOR...) or of the form (WM_ERASEBKGND);
    // nil when the system's own are to be used.
    HBRUSH Paint(HDC dc, HWND control);
    // Paints the form's background and that of its group boxes where the model colours them;
    // false when the system's own background is to be drawn.
    bool EraseBackground(HDC dc);

  private:
    struct TEntry {
        HWND Window;
        TControl* Control;
    };

    void Build(TControl& parent);
    HWND MakeControl(TControl& control);
    HFONT FontOf(const TControl& control);
    // After a user action: close when the model says so, else bring the controls up to date.
    void Sync();
    // Runs a user action of the model with the exception guard, then syncs.
    template <class F> void Act(F action) {
        if (FFailure) return;
        try {
            action();
            Sync();
        } catch (...) {
            FFailure = std::current_exception();
        }
    }
    const TEntry* EntryOf(HWND hwnd) const {
        for (const TEntry& entry : FEntries)
            if (entry.Window == hwnd) return &entry;
        return nullptr;
    }
    bool FormKey(const MSG& msg);
    void NoteFocus();
    HBRUSH BrushOf(TColor color);

    TForm& FForm;
    HWND FWindow = nullptr;
    std::vector<TEntry> FEntries;
    std::vector<HFONT> FFonts;
    std::vector<std::pair<TColor, HBRUSH>> FBrushes;
    bool FSyncing = false;
    std::exception_ptr FFailure;
};

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TWin32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form && (message == WM_COMMAND || message == WM_HSCROLL || message == WM_CLOSE))
        return form->Handle(message, wParam, lParam);
    if (form &&
        (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORBTN))
        if (HBRUSH brush =
                form->Paint(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
    if (form && message == WM_ERASEBKGND && form->EraseBackground(reinterpret_cast<HDC>(wParam)))
        return 1;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterFormClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &FormProc;
        windowClass.hInstance = OwnModule();
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kFormClass;
        return ::RegisterClassW(&windowClass) != 0 ||
               ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HFONT TWin32Form::FontOf(const TControl& control) {
    HFONT font =
        ::CreateFontW(control.Font.Height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, Wide(control.Font.Name).c_str());
    if (font) FFonts.push_back(font);
    return font;
}

HWND TWin32Form::MakeControl(TControl& control) {
    const wchar_t* windowClass = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (control.Kind()) {
    case TControlKind::Label:
        windowClass = L"STATIC";
        style |= SS_LEFT | SS_NOPREFIX;
        break;
    case TControlKind::Edit:
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TControlKind::GroupBox:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case TControlKind::TrackBar:
        windowClass = TRACKBAR_CLASSW;
        style |= TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP;
        break;
    case TControlKind::Button:
        windowClass = L"BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        if (static_cast<TButton&>(control).Default) style |= BS_DEFPUSHBUTTON;
        break;
    case TControlKind::Form:
        return nullptr;
    }
    const std::wstring text = control.Kind() == TControlKind::TrackBar ? L"" : Wide(control.Text);
    HWND hwnd = ::CreateWindowExW(exStyle, windowClass, text.c_str(), style, control.FormLeft(),
                                  control.FormTop(), control.Width, control.Height, FWindow,
                                  nullptr, OwnModule(), nullptr);
    if (!hwnd) return nullptr;
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control)), FALSE);
    if (control.Kind() == TControlKind::TrackBar) {
        auto& bar = static_cast<TTrackBar&>(control);
        ::SendMessageW(hwnd, TBM_SETRANGEMIN, FALSE, bar.Min());
        ::SendMessageW(hwnd, TBM_SETRANGEMAX, FALSE, bar.Max());
        ::SendMessageW(hwnd, TBM_SETLINESIZE, 0, bar.LineSize);
        ::SendMessageW(hwnd, TBM_SETPAGESIZE, 0, bar.PageSize);
        ::SendMessageW(hwnd, TBM_SETTICFREQ,
                       static_cast<WPARAM>(bar.Frequency > 0 ? bar.Frequency : 1), 0);
        ::SendMessageW(hwnd, TBM_SETTHUMBLENGTH, static_cast<WPARAM>(bar.ThumbLength), 0);
        ::SendMessageW(hwnd, TBM_SETPOS, TRUE, bar.Position());
    }
    return hwnd;
}

void TWin32Form::Build(TControl& parent) {
    for (const auto& child : parent.Controls()) {
        TControl& control = *child;
        // A group box's frame is made after its children, so that it lies behind them.
        if (control.Kind() == TControlKind::GroupBox) Build(control);
        if (HWND hwnd = MakeControl(control)) FEntries.push_back({hwnd, &control});
    }
}

bool TWin32Form::Create(HWND owner) {
    if (!RegisterFormClass()) return false;
    const bool dialog = FForm.BorderStyle == TBorderStyle::Dialog;
    const DWORD style =
        dialog ? (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME) : WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = dialog ? WS_EX_DLGMODALFRAME : 0;
    RECT frame{0, 0, FForm.Width, FForm.Height};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    int left = FForm.Left;
    int top = FForm.Top;
    if (FForm.Position == TPosition::ScreenCenter) {
        left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    FWindow = ::CreateWindowExW(exStyle, kFormClass, Wide(FForm.Text).c_str(), style, left, top,
                                width, height, owner, nullptr, OwnModule(), this);
    if (!FWindow) return false;
    Build(FForm);
    return true;
}

void TWin32Form::Sync() {
    if (FSyncing || !FWindow) return;
    FSyncing = true;
    if (!FForm.Closed()) {
        for (const TEntry& entry : FEntries) {
            TControl& control = *entry.Control;
            switch (control.Kind()) {
            case TControlKind::Label:
            case TControlKind::Button:
            case TControlKind::GroupBox:
            case TControlKind::Edit:
                if (const std::wstring text = Wide(control.Text); text != TextOf(entry.Window))
                    ::SetWindowTextW(entry.Window, text.c_str());
                break;
            case TControlKind::TrackBar: {
                const int position = static_cast<TTrackBar&>(control).Position();
                if (::SendMessageW(entry.Window, TBM_GETPOS, 0, 0) != position)
                    ::SendMessageW(entry.Window, TBM_SETPOS, TRUE, position);
                break;
            }
            case TControlKind::Form:
                break;
            }
            if (&control == FForm.Focused() && ::GetFocus() != entry.Window)
                ::SetFocus(entry.Window);
        }
    }
    FSyncing = false;
}

HBRUSH TWin32Form::BrushOf(TColor color) {
    for (const auto& brush : FBrushes)
        if (brush.first == color) return brush.second;
    HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(color));
    if (brush) FBrushes.emplace_back(color, brush);
    return brush;
}

HBRUSH TWin32Form::Paint(HDC dc, HWND hwnd) {
    const TControl* control = &FForm;
    if (hwnd != FWindow) {
        const TEntry* entry = EntryOf(hwnd);
        if (!entry) return nullptr;
        control = entry->Control;
    }
    const bool ownText = !IsSystemColor(control->Font.Color);
    const bool ownBack = !IsSystemColor(control->Color);
    if (!ownText && !ownBack) return nullptr;
    if (dc && ownText) ::SetTextColor(dc, static_cast<COLORREF>(control->Font.Color));
    // A control without a colour of its own shows its parent's background.
    const TColor back = ownBack             ? control->Color
                        : control->Parent() ? control->Parent()->Color
                                            : control->Color;
    if (IsSystemColor(back)) {
        if (dc)
            ::SetBkColor(dc, ::GetSysColor(control->Kind() == TControlKind::Edit ? COLOR_WINDOW
                                                                                 : COLOR_BTNFACE));
        return control->Kind() == TControlKind::Edit ? ::GetSysColorBrush(COLOR_WINDOW)
                                                     : ::GetSysColorBrush(COLOR_BTNFACE);
    }
    if (dc) ::SetBkColor(dc, static_cast<COLORREF>(back));
    return BrushOf(back);
}

bool TWin32Form::EraseBackground(HDC dc) {
    bool painted = false;
    if (HBRUSH brush = Paint(nullptr, FWindow)) {
        RECT client;
        ::GetClientRect(FWindow, &client);
        ::FillRect(dc, &client, brush);
        painted = true;
    }
    // A group box draws only its frame: the colour of its inside is painted here, behind it.
    for (const TEntry& entry : FEntries) {
        const TControl& control = *entry.Control;
        if (control.Kind() != TControlKind::GroupBox || IsSystemColor(control.Color)) continue;
        if (!painted) {
            ::DefWindowProcW(FWindow, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            painted = true;
        }
        const RECT area{control.FormLeft(), control.FormTop(), control.FormLeft() + control.Width,
                        control.FormTop() + control.Height};
        ::FillRect(dc, &area, BrushOf(control.Color));
    }
    return painted;
}

LRESULT TWin32Form::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        Act([&] { FForm.UserCancel(); });
        return 0;
    }
    const TEntry* entry = EntryOf(reinterpret_cast<HWND>(lParam));
    if (!entry || FSyncing) return 0;
    TControl& control = *entry->Control;
    if (message == WM_COMMAND) {
        const UINT code = HIWORD(wParam);
        if (control.Kind() == TControlKind::Edit && code == EN_CHANGE)
            Act([&] {
                FForm.UserSetText(static_cast<TEdit&>(control), Ansi(TextOf(entry->Window)));
            });
        else if (control.Kind() == TControlKind::Button && code == BN_CLICKED)
            Act([&] { FForm.UserClick(static_cast<TButton&>(control)); });
    } else if (message == WM_HSCROLL && control.Kind() == TControlKind::TrackBar) {
        const int position = static_cast<int>(::SendMessageW(entry->Window, TBM_GETPOS, 0, 0));
        Act([&] { FForm.UserTrack(static_cast<TTrackBar&>(control), position); });
    }
    return 0;
}

// Tab, Enter and Escape are the model's: they are taken before the focused control sees them.
bool TWin32Form::FormKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR) return false;
    if (msg.hwnd != FWindow && ::GetParent(msg.hwnd) != FWindow) return false;
    const WPARAM key = msg.wParam;
    if (msg.message == WM_CHAR) // the characters of those keys: already handled as keys
        return key == L'\t' || key == L'\r' || key == 27;
    if (key == VK_TAB) {
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
        Act([&] { FForm.UserTab(backwards); });
    } else if (key == VK_RETURN) {
        Act([&] { FForm.UserEnter(); });
    } else if (key == VK_ESCAPE) {
        Act([&] { FForm.UserCancel(); });
    } else {
        return false;
    }
    return true;
}

// The user moved the focus (a click, the system's own handling): the model follows.
void TWin32Form::NoteFocus() {
    const TEntry* entry = EntryOf(::GetFocus());
    if (entry && entry->Control != FForm.Focused() && entry->Control->TabStop())
        Act([&] { FForm.UserFocus(*entry->Control); });
}

TModalResult TWin32Form::Run(HWND owner) {
    ::ShowWindow(FWindow, SW_SHOW);
    ::SetForegroundWindow(FWindow);
    Sync(); // the initial focus
    if (owner) ::EnableWindow(owner, FALSE);
    while (!FForm.Closed() && !FFailure) {
        MSG msg{};
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The caller's loop is to end: so does the show, and the request stays for it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        if (FormKey(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (!FForm.Closed()) NoteFocus();
    }
    if (owner) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    ::DestroyWindow(FWindow);
    FWindow = nullptr;
    if (FFailure) std::rethrow_exception(FFailure);
    return FForm.ModalResult;
}

class TWin32Backend : public TFormBackend {
  public:
    const char* Name() const override { return "win32"; }

    TModalResult RunModal(TForm& form) override {
        const HWND owner = ::GetActiveWindow();
        auto window = std::make_unique<TWin32Form>(form);
        if (!window->Create(owner)) return form.ModalResult; // not shown: the model cancels it
        return window->Run(owner);
    }

    int MessageBox(TForm*, const std::string& text, const std::string& caption,
                   unsigned flags) override {
        // Over the form being shown (the active window of this thread), else on its own.
        return ::MessageBoxW(::GetActiveWindow(), Wide(text).c_str(), Wide(caption).c_str(),
                             flags | MB_TASKMODAL);
    }
};

} // namespace

TFormBackend* Win32FormBackend() {
    static TWin32Backend backend;
    return &backend;
}

} // namespace quill::ui
