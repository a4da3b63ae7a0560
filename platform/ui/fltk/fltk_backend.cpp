#include "platform/ui/fltk/fltk_backend.h"

#include "platform/kernel/codepage.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Slider.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace quill::ui {

namespace {

Fl_Color ToFlColor(TColor color, Fl_Color designed) {
    if (IsSystemColor(color)) return designed;
    const auto rgb = static_cast<std::uint32_t>(color);
    return fl_rgb_color(static_cast<uchar>(rgb & 0xFF), static_cast<uchar>((rgb >> 8) & 0xFF),
                        static_cast<uchar>((rgb >> 16) & 0xFF));
}

std::string Utf8(const std::string& ansi) {
    return kernel::AnsiToUtf8(ansi);
}

class TFltkForm;

// What every widget of a form knows: its control and the form it reports to.
struct TBinding {
    TFltkForm* Owner;
    TControl* Control;
};

class TFltkForm {
  public:
    explicit TFltkForm(TForm& form) : FForm(form) {}
    TForm& Form() { return FForm; }
    // After a user action: close when the model says so, else refresh the widgets.
    void Sync();
    void Add(Fl_Widget* widget, TControl* control) { FWidgets.push_back({widget, control}); }
    void Focused(TControl* control) {
        if (!FSyncing) FForm.UserFocus(*control);
    }
    Fl_Window* Window = nullptr;

  private:
    struct TEntry {
        Fl_Widget* Widget;
        TControl* Control;
    };
    TForm& FForm;
    std::vector<TEntry> FWidgets;
    bool FSyncing = false;
};

void ApplyFont(Fl_Widget* widget, const TControl& control) {
    widget->labelfont(FL_HELVETICA);
    widget->labelsize(std::max(11, std::abs(control.Font.Height)));
    widget->labelcolor(ToFlColor(control.Font.Color, FL_FOREGROUND_COLOR));
}

// An edit: reports each change and when it takes the focus.
class TFlEdit : public Fl_Input {
  public:
    TFlEdit(TFltkForm& owner, TEdit& edit, int x, int y)
        : Fl_Input(x, y, edit.Width, edit.Height), FOwner(owner), FEdit(edit) {
        box(FL_DOWN_BOX);
        textfont(FL_HELVETICA);
        textsize(std::max(11, std::abs(edit.Font.Height)));
        textcolor(ToFlColor(edit.Font.Color, FL_FOREGROUND_COLOR));
        color(ToFlColor(edit.Color, FL_BACKGROUND2_COLOR));
        value(Utf8(edit.Text).c_str());
        when(FL_WHEN_CHANGED);
        callback([](Fl_Widget*, void* self) { static_cast<TFlEdit*>(self)->Changed(); }, this);
    }
    int handle(int event) override {
        const int used = Fl_Input::handle(event);
        if (event == FL_FOCUS) FOwner.Focused(&FEdit);
        return used;
    }
    void Changed() {
        FOwner.Form().UserSetText(FEdit, kernel::Utf8ToAnsi(value()));
        FOwner.Sync();
    }

  private:
    TFltkForm& FOwner;
    TEdit& FEdit;
};

// A track bar: a horizontal slider with the model's steps, and ticks below it.
class TFlTrackBar : public Fl_Slider {
  public:
    TFlTrackBar(TFltkForm& owner, TTrackBar& bar, int x, int y)
        : Fl_Slider(x, y, bar.Width, bar.Height), FOwner(owner), FBar(bar) {
        type(FL_HOR_NICE_SLIDER);
        box(FL_FLAT_BOX);
        color(ToFlColor(bar.Color, FL_BACKGROUND_COLOR));
        bounds(bar.Min(), bar.Max());
        step(1);
        value(bar.Position());
        if (bar.Width > 0) slider_size(static_cast<double>(bar.ThumbLength) / bar.Width);
        callback([](Fl_Widget*, void* self) { static_cast<TFlTrackBar*>(self)->Moved(); }, this);
    }
    int handle(int event) override {
        if (event == FL_FOCUS) {
            FOwner.Focused(&FBar);
            redraw();
            return 1;
        }
        if (event == FL_UNFOCUS) {
            redraw();
            return 1;
        }
        if (event == FL_KEYBOARD && Fl::focus() == this) {
            int target = FBar.Position();
            switch (Fl::event_key()) {
            case FL_Right:
            case FL_Down:
                target += FBar.LineSize;
                break;
            case FL_Left:
            case FL_Up:
                target -= FBar.LineSize;
                break;
            case FL_Page_Down:
                target += FBar.PageSize;
                break;
            case FL_Page_Up:
                target -= FBar.PageSize;
                break;
            case FL_Home:
                target = FBar.Min();
                break;
            case FL_End:
                target = FBar.Max();
                break;
            default:
                return Fl_Slider::handle(event);
            }
            Track(target);
            return 1;
        }
        if (event == FL_PUSH) take_focus();
        return Fl_Slider::handle(event);
    }
    void Moved() { Track(static_cast<int>(std::lround(value()))); }
    void Track(int position) {
        FOwner.Form().UserTrack(FBar, position);
        FOwner.Sync();
    }

  protected:
    void draw() override {
        // The slider in the upper part, the ticks in the strip below it.
        const int tickStrip = 6;
        fl_push_clip(x(), y(), w(), h());
        draw_box(FL_FLAT_BOX, x(), y(), w(), h(), color());
        Fl_Slider::draw(x(), y(), w(), h() - tickStrip);
        const int range = FBar.Max() - FBar.Min();
        const int frequency = std::max(1, FBar.Frequency);
        const int left = x() + FBar.ThumbLength / 2;
        const int span = w() - FBar.ThumbLength;
        fl_color(FL_FOREGROUND_COLOR);
        for (int p = FBar.Min(); range > 0 && p <= FBar.Max(); p += frequency) {
            const int tx =
                left +
                static_cast<int>(std::lround(static_cast<double>(p - FBar.Min()) * span / range));
            fl_line(tx, y() + h() - tickStrip + 1, tx, y() + h() - 2);
        }
        if (Fl::focus() == this) draw_focus(FL_FLAT_BOX, x(), y(), w(), h() - tickStrip);
        fl_pop_clip();
    }

  private:
    TFltkForm& FOwner;
    TTrackBar& FBar;
};

class TFlButton : public Fl_Button {
  public:
    TFlButton(TFltkForm& owner, TButton& button, int x, int y)
        : Fl_Button(x, y, button.Width, button.Height), FOwner(owner), FButton(button) {
        copy_label(Utf8(button.Text).c_str());
        ApplyFont(this, button);
        callback([](Fl_Widget*, void* self) { static_cast<TFlButton*>(self)->Clicked(); }, this);
    }
    int handle(int event) override {
        const int used = Fl_Button::handle(event);
        if (event == FL_FOCUS) FOwner.Focused(&FButton);
        // Enter on a focused button clicks it, as Space does.
        if (event == FL_KEYBOARD && Fl::focus() == this &&
            (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            Clicked();
            return 1;
        }
        return used;
    }
    void Clicked() {
        FOwner.Form().UserClick(FButton);
        FOwner.Sync();
    }

  private:
    TFltkForm& FOwner;
    TButton& FButton;
};

// A group box: an etched frame with its caption on the top edge.
class TFlGroupBox : public Fl_Group {
  public:
    TFlGroupBox(TGroupBox& group, int x, int y)
        : Fl_Group(x, y, group.Width, group.Height), FGroup(group) {
        color(ToFlColor(group.Color, FL_BACKGROUND_COLOR));
        box(FL_FLAT_BOX);
        ApplyFont(this, group);
    }

  protected:
    void draw() override {
        draw_box(FL_FLAT_BOX, x(), y(), w(), h(), color());
        const int size = labelsize();
        draw_box(FL_ENGRAVED_FRAME, x(), y() + size / 2, w(), h() - size / 2, color());
        const std::string caption = Utf8(FGroup.Text);
        fl_font(labelfont(), size);
        const int width = static_cast<int>(fl_width(caption.c_str()));
        fl_color(color());
        fl_rectf(x() + 8, y(), width, size + 2);
        fl_color(labelcolor());
        fl_draw(caption.c_str(), x() + 8, y() + size - 1);
        draw_children();
    }

  private:
    TGroupBox& FGroup;
};

class TFlWindow : public Fl_Double_Window {
  public:
    TFlWindow(TFltkForm& owner, int w, int h) : Fl_Double_Window(w, h), FOwner(owner) {
        // The close box and Escape both come here.
        callback(
            [](Fl_Widget*, void* self) {
                auto* window = static_cast<TFlWindow*>(self);
                window->FOwner.Form().UserCancel();
                window->FOwner.Sync();
            },
            this);
    }

  private:
    TFltkForm& FOwner;
};

void BuildChildren(TFltkForm& owner, TControl& parent);

void BuildControl(TFltkForm& owner, TControl& control) {
    const int x = control.FormLeft();
    const int y = control.FormTop();
    Fl_Widget* widget = nullptr;
    switch (control.Kind()) {
    case TControlKind::Label: {
        auto* box = new Fl_Box(x, y, control.Width, control.Height);
        box->box(FL_NO_BOX);
        box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
        box->copy_label(Utf8(control.Text).c_str());
        ApplyFont(box, control);
        widget = box;
        break;
    }
    case TControlKind::Edit:
        widget = new TFlEdit(owner, static_cast<TEdit&>(control), x, y);
        break;
    case TControlKind::TrackBar:
        widget = new TFlTrackBar(owner, static_cast<TTrackBar&>(control), x, y);
        break;
    case TControlKind::Button:
        widget = new TFlButton(owner, static_cast<TButton&>(control), x, y);
        break;
    case TControlKind::GroupBox: {
        auto* group = new TFlGroupBox(static_cast<TGroupBox&>(control), x, y);
        BuildChildren(owner, control);
        group->end();
        widget = group;
        break;
    }
    case TControlKind::Form:
        return;
    }
    owner.Add(widget, &control);
}

// Children in tab order (the toolkit's Tab follows creation order), those outside it first.
void BuildChildren(TFltkForm& owner, TControl& parent) {
    std::vector<TControl*> children;
    for (const auto& child : parent.Controls())
        children.push_back(child.get());
    std::stable_sort(children.begin(), children.end(),
                     [](TControl* a, TControl* b) { return a->TabOrder < b->TabOrder; });
    for (TControl* child : children)
        BuildControl(owner, *child);
}

void TFltkForm::Sync() {
    if (FSyncing) return;
    FSyncing = true;
    if (FForm.Closed()) {
        if (Window) Window->hide();
        FSyncing = false;
        return;
    }
    for (const TEntry& entry : FWidgets) {
        TControl& control = *entry.Control;
        switch (control.Kind()) {
        case TControlKind::Label:
        case TControlKind::Button:
            if (const std::string text = Utf8(control.Text);
                text != (entry.Widget->label() ? entry.Widget->label() : "")) {
                entry.Widget->copy_label(text.c_str());
                if (Window) Window->redraw();
            }
            break;
        case TControlKind::Edit: {
            auto* input = static_cast<Fl_Input*>(entry.Widget);
            if (const std::string text = Utf8(control.Text); text != input->value())
                input->value(text.c_str());
            break;
        }
        case TControlKind::TrackBar: {
            auto* slider = static_cast<Fl_Slider*>(entry.Widget);
            const int position = static_cast<TTrackBar&>(control).Position();
            if (slider->value() != position) slider->value(position);
            slider->redraw();
            break;
        }
        default:
            break;
        }
        if (&control == FForm.Focused() && Fl::focus() != entry.Widget) entry.Widget->take_focus();
    }
    FSyncing = false;
}

class TFltkBackend : public TFormBackend {
  public:
    const char* Name() const override { return "fltk"; }

    TModalResult RunModal(TForm& form) override {
        TFltkForm owner(form);
        auto window = std::make_unique<TFlWindow>(owner, form.Width, form.Height);
        owner.Window = window.get();
        window->copy_label(Utf8(form.Text).c_str());
        window->color(ToFlColor(form.Color, FL_BACKGROUND_COLOR));
        window->xclass("quill");
        BuildChildren(owner, form);
        window->end();
        if (form.BorderStyle == TBorderStyle::Dialog)
            window->size_range(form.Width, form.Height, form.Width, form.Height);
        if (form.Position == TPosition::ScreenCenter)
            window->position((Fl::w() - form.Width) / 2, (Fl::h() - form.Height) / 2);
        window->set_modal();
        window->show();
        owner.Sync(); // the initial focus
        while (window->shown() && !form.Closed())
            Fl::wait();
        window->hide();
        Fl::flush();
        return form.ModalResult;
    }

    int MessageBox(TForm*, const std::string& text, const std::string& caption, unsigned) override {
        const std::string title = Utf8(caption);
        fl_message_title(title.c_str());
        fl_alert("%s", Utf8(text).c_str());
        return IDOK;
    }
};

} // namespace

} // namespace quill::ui

quill::ui::TFormBackend* QuillCreateFltkBackend() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    fl_open_display(display);
    fl_close = "OK";
    fl_message_hotspot(0);
    Fl::visible_focus(1);
    static quill::ui::TFltkBackend backend;
    return &backend;
}
