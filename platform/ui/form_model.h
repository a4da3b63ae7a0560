// The form model: dialogs as a tree of controls, independent of any window toolkit.
//
// A TForm owns its controls (each parent owns its children). Controls carry what a window toolkit
// needs to draw them (kind, parent, position relative to the parent, size, text, font, colours,
// anchors, tab order) and what dialog logic needs to run on them (focus, edit texts, track bar
// position, button modal results, events). Texts are Windows-1251. Colours are 0x00BBGGRR values or
// the system colours below, which a backend draws in its own designed colours.
//
// The modal show follows the platform's rules: ShowModal clears the modal result and hands the form
// to a backend (form_backend.h), which draws it and turns what the user does into the User*
// operations. A button with a modal result sets the form's result before its OnClick runs; after
// every user action a non-zero result asks the form to close: OnCloseQuery may refuse, which
// clears the result and keeps the form open. Escape and the close box give the result Cancel. With
// no backend at all the form is not shown and the result is Cancel.
//
// A form and its controls belong to the thread that creates them; nothing here is thread-safe.
// Operations never raise except for out-of-memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill::ui {

using TColor = std::int32_t;
// System colours: the backend's designed colours of the element.
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000Fu);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008u);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005u);
constexpr bool IsSystemColor(TColor color) {
    return (static_cast<std::uint32_t>(color) & 0xFF000000u) == 0xFF000000u;
}

enum class TControlKind { Form, Label, Edit, GroupBox, TrackBar, Button };

using TAnchors = unsigned;
constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2;

// Message box flags and answers, as the platform numbers them.
constexpr unsigned MB_OK = 0x00, MB_ICONERROR = 0x10;
constexpr int IDOK = 1;

struct TFont {
    std::string Name = "MS Sans Serif";
    int Height = -11; // negative: character height in pixels
    TColor Color = clWindowText;
};

class TForm;
class TFormBackend;

class TControl {
  public:
    TControl(TControlKind kind, std::string name);
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    TControlKind Kind() const { return FKind; }
    const std::string& Name() const { return FName; }
    TControl* Parent() const { return FParent; }
    // The form at the root of the tree (this control when it is a form; null for a loose control).
    TForm* OwnerForm();
    const std::vector<std::unique_ptr<TControl>>& Controls() const { return FControls; }

    // Creates a child of type T (a control class below) named `name`; the parent owns it.
    template <class T> T* Add(std::string name) {
        auto child = std::make_unique<T>(std::move(name));
        T* raw = child.get();
        Adopt(std::move(child));
        return raw;
    }

    void SetBounds(int left, int top, int width, int height);
    // Position relative to the form's client area (parents' positions added).
    int FormLeft() const;
    int FormTop() const;
    // Whether Tab stops here: a tab order was given and the kind takes input.
    bool TabStop() const;

    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::string Text; // caption of a form, label, group box or button; contents of an edit
    TFont Font;
    TColor Color = clBtnFace;
    TAnchors Anchors = akLeft | akTop;
    int TabOrder = -1; // -1: not in the tab order

  private:
    void Adopt(std::unique_ptr<TControl> child);

    TControlKind FKind;
    std::string FName;
    TControl* FParent = nullptr;
    std::vector<std::unique_ptr<TControl>> FControls;
};

class TLabel : public TControl {
  public:
    explicit TLabel(std::string name) : TControl(TControlKind::Label, std::move(name)) {}
};

class TGroupBox : public TControl {
  public:
    explicit TGroupBox(std::string name) : TControl(TControlKind::GroupBox, std::move(name)) {}
};

class TEdit : public TControl {
  public:
    explicit TEdit(std::string name) : TControl(TControlKind::Edit, std::move(name)) {
        Color = clWindow;
    }
    // Replaces the text; OnChange runs when it differs.
    void SetText(std::string text);
    std::function<void()> OnChange;
};

class TButton : public TControl {
  public:
    explicit TButton(std::string name) : TControl(TControlKind::Button, std::move(name)) {}
    // Sets the form's modal result (when non-zero), then runs OnClick.
    void Click();
    TModalResult ModalResult = mrNone;
    bool Cancel = false;  // Escape clicks it
    bool Default = false; // Enter clicks it when the focus is not on a button
    bool Glyph = false;   // carries a picture beside its caption
    std::function<void()> OnClick;
};

class TTrackBar : public TControl {
  public:
    explicit TTrackBar(std::string name) : TControl(TControlKind::TrackBar, std::move(name)) {}
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    // The range; max below min is raised to min. The position is clamped into it.
    void SetRange(int min, int max);
    // Moves to `position` clamped to the range; OnChange runs when the position changes.
    void SetPosition(int position);
    // `count` line or page steps: positive towards the maximum.
    void LineStep(int count) { SetPosition(FPosition + count * LineSize); }
    void PageStep(int count) { SetPosition(FPosition + count * PageSize); }

    int LineSize = 1;
    int PageSize = 2;
    int Frequency = 1; // a tick every that many positions
    int ThumbLength = 20;
    std::function<void()> OnChange;

  private:
    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
};

enum class TBorderStyle { Sizeable, Dialog };
enum class TPosition { Designed, ScreenCenter };

class TForm : public TControl {
  public:
    explicit TForm(std::string name = "Form") : TControl(TControlKind::Form, std::move(name)) {}

    // The caption is the form's Text; the client area is its Width x Height.
    TBorderStyle BorderStyle = TBorderStyle::Sizeable;
    TPosition Position = TPosition::Designed;
    TControl* ActiveControl = nullptr; // focused when the form is shown
    TModalResult ModalResult = mrNone;
    // Asked before the form closes; setting the flag to false keeps it open.
    std::function<void(bool& canClose)> OnCloseQuery;

    // Shows the form modally through `backend` (borrowed; null: the current backend, see
    // form_backend.h) and returns the modal result (Cancel when there is no backend).
    TModalResult ShowModal(TFormBackend* backend = nullptr);
    bool Showing() const { return FBackend != nullptr; }
    // Set once a modal show has ended (the result was accepted).
    bool Closed() const { return FClosed; }

    TControl* Focused() const { return FFocused; }
    // Moves the input focus (to a control of this form that takes input).
    void SetFocus(TControl* control);
    // The next (or previous) control in tab order from the focused one, wrapping around.
    TControl* NextTabStop(bool backwards) const;
    // All input controls in tab order, depth first (a group's children at the group's place).
    std::vector<TControl*> TabStops() const;
    TControl* FindControl(const std::string& name) const;

    // A message box owned by this form, through the backend that shows it (or the current one).
    // Returns the button pressed (IDOK), 0 when no backend can show it.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

    // What a backend calls for the user. Each returns whether the form is still open.
    bool UserSetText(TEdit& edit, std::string text);
    bool UserClick(TButton& button);
    bool UserTrack(TTrackBar& bar, int position);
    bool UserFocus(TControl& control);
    bool UserTab(bool backwards);
    // Escape or the window's close box: result Cancel (a Cancel button is clicked when present).
    bool UserCancel();
    // Enter: clicks the focused button, else the default button.
    bool UserEnter();

  private:
    bool AfterUserAction();

    TControl* FFocused = nullptr;
    TFormBackend* FBackend = nullptr;
    bool FClosed = false;
};

} // namespace quill::ui
