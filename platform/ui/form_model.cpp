#include "platform/ui/form_model.h"

#include "platform/ui/form_backend.h"

#include <algorithm>

namespace quill::ui {

TControl::TControl(TControlKind kind, std::string name) : FKind(kind), FName(std::move(name)) {}

TControl::~TControl() = default;

TForm* TControl::OwnerForm() {
    TControl* control = this;
    while (control->FParent)
        control = control->FParent;
    return control->FKind == TControlKind::Form ? static_cast<TForm*>(control) : nullptr;
}

void TControl::Adopt(std::unique_ptr<TControl> child) {
    child->FParent = this;
    child->Font = Font; // a child starts with its parent's font, as on the platform
    FControls.push_back(std::move(child));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
}

int TControl::FormLeft() const {
    int left = 0;
    for (const TControl* c = this; c && c->FKind != TControlKind::Form; c = c->FParent)
        left += c->Left;
    return left;
}

int TControl::FormTop() const {
    int top = 0;
    for (const TControl* c = this; c && c->FKind != TControlKind::Form; c = c->FParent)
        top += c->Top;
    return top;
}

bool TControl::TabStop() const {
    if (TabOrder < 0) return false;
    return FKind == TControlKind::Edit || FKind == TControlKind::TrackBar ||
           FKind == TControlKind::Button;
}

void TEdit::SetText(std::string text) {
    if (text == Text) return;
    Text = std::move(text);
    if (OnChange) OnChange();
}

void TButton::Click() {
    if (ModalResult != mrNone) {
        if (TForm* form = OwnerForm()) form->ModalResult = ModalResult;
    }
    if (OnClick) OnClick();
}

void TTrackBar::SetRange(int min, int max) {
    FMin = min;
    FMax = std::max(min, max);
    SetPosition(FPosition);
}

void TTrackBar::SetPosition(int position) {
    const int clamped = std::clamp(position, FMin, FMax);
    if (clamped == FPosition) return;
    FPosition = clamped;
    if (OnChange) OnChange();
}

namespace {

void CollectTabStops(const TControl& parent, std::vector<TControl*>& out) {
    std::vector<TControl*> ordered;
    for (const auto& child : parent.Controls()) {
        if (child->TabOrder >= 0) ordered.push_back(child.get());
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const TControl* a, const TControl* b) {
        return a->TabOrder < b->TabOrder;
    });
    for (TControl* control : ordered) {
        if (control->TabStop())
            out.push_back(control);
        else
            CollectTabStops(*control, out);
    }
}

TControl* Find(const TControl& parent, const std::string& name) {
    for (const auto& child : parent.Controls()) {
        if (child->Name() == name) return child.get();
        if (TControl* found = Find(*child, name)) return found;
    }
    return nullptr;
}

TButton* FindButton(const TControl& parent, bool TButton::*flag) {
    for (const auto& child : parent.Controls()) {
        if (child->Kind() == TControlKind::Button) {
            auto* button = static_cast<TButton*>(child.get());
            if (button->*flag) return button;
        }
        if (TButton* found = FindButton(*child, flag)) return found;
    }
    return nullptr;
}

} // namespace

std::vector<TControl*> TForm::TabStops() const {
    std::vector<TControl*> stops;
    CollectTabStops(*this, stops);
    return stops;
}

TControl* TForm::FindControl(const std::string& name) const {
    return Find(*this, name);
}

void TForm::SetFocus(TControl* control) {
    if (control && control->OwnerForm() == this && control->TabStop()) FFocused = control;
}

TControl* TForm::NextTabStop(bool backwards) const {
    const std::vector<TControl*> stops = TabStops();
    if (stops.empty()) return nullptr;
    const auto at = std::find(stops.begin(), stops.end(), FFocused);
    if (at == stops.end()) return backwards ? stops.back() : stops.front();
    const std::size_t index = static_cast<std::size_t>(at - stops.begin());
    const std::size_t n = stops.size();
    return stops[backwards ? (index + n - 1) % n : (index + 1) % n];
}

TModalResult TForm::ShowModal(TFormBackend* given) {
    ModalResult = mrNone;
    FClosed = false;
    TFormBackend* backend = given ? given : CurrentFormBackend();
    if (!backend) {
        ModalResult = mrCancel;
        FClosed = true;
        return ModalResult;
    }
    FFocused = nullptr;
    SetFocus(ActiveControl);
    if (!FFocused) FFocused = NextTabStop(false);
    FBackend = backend;
    try {
        backend->RunModal(*this);
    } catch (...) {
        FBackend = nullptr;
        throw;
    }
    FBackend = nullptr;
    if (!FClosed) { // the backend lost its user: the dialog counts as cancelled
        ModalResult = mrCancel;
        FClosed = true;
    }
    return ModalResult;
}

int TForm::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TFormBackend* backend = FBackend ? FBackend : CurrentFormBackend();
    return backend ? backend->MessageBox(this, text, caption, flags) : 0;
}

bool TForm::AfterUserAction() {
    if (FClosed) return false;
    if (ModalResult != mrNone) {
        bool canClose = true;
        if (OnCloseQuery) OnCloseQuery(canClose);
        if (canClose)
            FClosed = true;
        else
            ModalResult = mrNone;
    }
    return !FClosed;
}

bool TForm::UserSetText(TEdit& edit, std::string text) {
    if (FClosed) return false;
    SetFocus(&edit);
    edit.SetText(std::move(text));
    return AfterUserAction();
}

bool TForm::UserClick(TButton& button) {
    if (FClosed) return false;
    SetFocus(&button);
    button.Click();
    return AfterUserAction();
}

bool TForm::UserTrack(TTrackBar& bar, int position) {
    if (FClosed) return false;
    SetFocus(&bar);
    bar.SetPosition(position);
    return AfterUserAction();
}

bool TForm::UserFocus(TControl& control) {
    if (FClosed) return false;
    SetFocus(&control);
    return AfterUserAction();
}

bool TForm::UserTab(bool backwards) {
    if (FClosed) return false;
    SetFocus(NextTabStop(backwards));
    return AfterUserAction();
}

bool TForm::UserCancel() {
    if (FClosed) return false;
    if (TButton* cancel = FindButton(*this, &TButton::Cancel)) return UserClick(*cancel);
    ModalResult = mrCancel;
    return AfterUserAction();
}

bool TForm::UserEnter() {
    if (FClosed) return false;
    if (FFocused && FFocused->Kind() == TControlKind::Button)
        return UserClick(*static_cast<TButton*>(FFocused));
    if (TButton* button = FindButton(*this, &TButton::Default)) return UserClick(*button);
    return !FClosed;
}

} // namespace quill::ui
