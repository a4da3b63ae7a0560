// The FLTK window of quill-host --gui (host_window.h).
#include "host/window/host_window.h"
#include "platform/ui/form_backend.h"
#include "platform/user/virtual_keys.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/x.H>

#include <memory>

namespace quill::host {

namespace {

// The toolkit's modifier and lock state as the bridge takes it.
std::uint32_t BridgeState(int state) {
    std::uint32_t out = 0;
    if (state & FL_SHIFT) out |= user::KeyStateShift;
    if (state & FL_CAPS_LOCK) out |= user::KeyStateCapsLock;
    if (state & FL_CTRL) out |= user::KeyStateControl;
    if (state & FL_ALT) out |= user::KeyStateAlt;
    if (state & FL_NUM_LOCK) out |= user::KeyStateNumLock;
    return out;
}

// The input field: its key events go through the bridge; keys the bridge does not know (dead
// keys, an input method's text, multimedia keys) reach the field as the toolkit delivers them.
class TBridgedInput final : public Fl_Input {
  public:
    TBridgedInput(int x, int y, int w, int h, const char* label) : Fl_Input(x, y, w, h, label) {}
    IWindowHost* Host = nullptr;

    int handle(int event) override {
        if ((event == FL_KEYDOWN || event == FL_KEYUP) && Host) {
            user::TToolkitKeyEvent key;
            key.Kind = user::TKeyCodeKind::X11Keysym;
            // FLTK names keys by their unshifted keysym (and keypad keys as with Num Lock): the
            // physical key, which is what the bridge enters.
            key.Code = static_cast<std::uint32_t>(Fl::event_key());
            key.Down = event == FL_KEYDOWN;
            key.HasState = true;
            key.State = BridgeState(Fl::event_state());
            // The X server's time of the event, in milliseconds.
            if (fl_xevent && (fl_xevent->type == KeyPress || fl_xevent->type == KeyRelease))
                key.TimeMs = fl_xevent->xkey.time;
            if (Host->Bridge().KeyEvent(key)) return 1;
        }
        return Fl_Input::handle(event);
    }

    // What the application received, applied as the field's own editing would.
    void Apply(const user::TApplicationKey& key) {
        if (key.Kind == user::TApplicationKeyKind::Character) {
            const char16_t c = key.Character;
            if (c == '\b') {
                if (mark() != position())
                    cut();
                else if (position() > 0)
                    cut(-1);
            } else if (c >= 0x20 && c < 0x7F) {
                const char text = static_cast<char>(c);
                insert(&text, 1);
            }
            return;
        }
        if (key.Kind != user::TApplicationKeyKind::KeyDown) return;
        switch (key.VirtualKey) {
        case user::VK_LEFT:
            if (position() > 0) position(position() - 1);
            break;
        case user::VK_RIGHT:
            if (position() < size()) position(position() + 1);
            break;
        case user::VK_HOME:
            position(0);
            break;
        case user::VK_END:
            position(size());
            break;
        case user::VK_DELETE:
            if (position() < size()) cut(1);
            break;
        default:
            break;
        }
    }
};

class TFltkHostWindow final : public THostWindow {
  public:
    void Run(IWindowHost& host, const std::string& title) override {
        FHost = &host;
        FTitle = title;
        Build();
        FInput->Host = &host;
        RefreshDevices();
        const int fd = host.Bridge().WaitDescriptor();
        if (fd >= 0) Fl::add_fd(fd, FL_READ, &TFltkHostWindow::OnQueue, this);
        FWindow->show();
        FInput->take_focus();
        // Without a descriptor the loop needs the next timer's deadline instead.
        while (FWindow->shown()) {
            const int timeout = fd >= 0 ? -1 : host.Bridge().WaitTimeoutMs();
            if (timeout < 0)
                Fl::wait();
            else
                Fl::wait(timeout / 1000.0);
            if (fd < 0 && !host.Bridge().Dispatch()) FWindow->hide();
        }
        if (fd >= 0) Fl::remove_fd(fd);
        Fl::flush();
    }

    void Deliver(const user::TApplicationKey& key) override {
        if (FInput) FInput->Apply(key);
    }

    void AddScan(const TScanView& scan) override {
        FScans.push_back(scan);
        if (!FScanList) return;
        FScanList->add((scan.Time + "\t" + scan.Device + "\t" + scan.Data).c_str());
        FScanList->bottomline(FScanList->size());
    }

    std::string FieldText() const override { return FInput ? FInput->value() : std::string(); }
    std::vector<TScanView> Scans() const override { return FScans; }

  private:
    static void OnQueue(int, void* self) {
        auto* window = static_cast<TFltkHostWindow*>(self);
        if (!window->FHost->Bridge().Dispatch()) window->FWindow->hide();
    }
    static void OnClose(Fl_Widget*, void* self) {
        static_cast<TFltkHostWindow*>(self)->FWindow->hide();
    }
    static void OnSettings(Fl_Widget*, void* self) {
        auto* window = static_cast<TFltkHostWindow*>(self);
        const int line = window->FDeviceList->value();
        window->FHost->OpenSettings(line > 0 ? static_cast<std::size_t>(line - 1) : 0);
        window->RefreshDevices();
        window->FInput->take_focus();
    }

    void Build() {
        FWindow = std::make_unique<Fl_Double_Window>(620, 400, FTitle.c_str());
        FWindow->xclass("quill-host");
        FWindow->callback(&TFltkHostWindow::OnClose, this);
        FInput = new TBridgedInput(110, 12, 496, 28, "Input:");
        FInput->textsize(16);
        auto* scansLabel = new Fl_Box(12, 48, 200, 20, "Scans");
        scansLabel->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        FScanList = new Fl_Browser(12, 70, 594, 170);
        FScanList->format_char(0); // data is shown as it is, never as formatting
        FScanList->column_char('\t');
        static const int scanColumns[] = {100, 250, 0};
        FScanList->column_widths(scanColumns);
        auto* devicesLabel = new Fl_Box(12, 246, 200, 20, "Devices");
        devicesLabel->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        FDeviceList = new Fl_Hold_Browser(12, 268, 594, 80);
        FDeviceList->format_char(0);
        FDeviceList->column_char('\t');
        static const int deviceColumns[] = {250, 90, 90, 80, 0};
        FDeviceList->column_widths(deviceColumns);
        auto* settings = new Fl_Button(12, 358, 120, 30, "Settings...");
        settings->callback(&TFltkHostWindow::OnSettings, this);
        settings->visible_focus(0);
        auto* close = new Fl_Button(486, 358, 120, 30, "Close");
        close->callback(&TFltkHostWindow::OnClose, this);
        close->visible_focus(0);
        FWindow->end();
    }

    void RefreshDevices() {
        const int selected = FDeviceList->value();
        FDeviceList->clear();
        for (const TDeviceView& d : FHost->Devices()) {
            const std::string line = d.Name + "\t" + d.Prefix + "\t" + d.Suffix + "\t" +
                                     std::to_string(d.TimeoutMs) + " ms\t" + (d.On ? "on" : "off");
            FDeviceList->add(line.c_str());
        }
        FDeviceList->value(selected > 0 && selected <= FDeviceList->size() ? selected : 1);
    }

    IWindowHost* FHost = nullptr;
    std::string FTitle;
    std::unique_ptr<Fl_Double_Window> FWindow;
    TBridgedInput* FInput = nullptr; // children of the window
    Fl_Browser* FScanList = nullptr;
    Fl_Hold_Browser* FDeviceList = nullptr;
    std::vector<TScanView> FScans;
};

} // namespace

} // namespace quill::host

extern "C" __attribute__((visibility("default"))) quill::host::THostWindow*
QuillCreateHostWindow() {
    // The settings dialog's module opens the toolkit's display first, so that both share one
    // connection; without that module the window opens its own.
    if (!quill::ui::FltkFormBackend()) {
        Display* display = XOpenDisplay(nullptr);
        if (!display) return nullptr;
        fl_open_display(display);
    }
    Fl::visible_focus(1);
    return new quill::host::TFltkHostWindow;
}
