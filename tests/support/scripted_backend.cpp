#include "support/scripted_backend.h"

#include <stdexcept>

namespace quill::test {

using namespace ui;

namespace {

template <class T> T& Named(TForm& form, const std::string& name, TControlKind kind) {
    TControl* control = form.FindControl(name);
    if (!control || control->Kind() != kind)
        throw std::invalid_argument("the form has no such control: " + name);
    return static_cast<T&>(*control);
}

} // namespace

TModalResult TScriptedBackend::RunModal(TForm& form) {
    ++Shows;
    while (!form.Closed() && !FSteps.empty()) {
        TStep step = std::move(FSteps.front());
        FSteps.pop_front();
        step(form);
    }
    return form.ModalResult;
}

int TScriptedBackend::MessageBox(TForm* owner, const std::string& text, const std::string& caption,
                                 unsigned flags) {
    TShownMessage message{text, caption, flags, {}};
    if (owner && owner->Focused()) message.FocusedName = owner->Focused()->Name();
    Messages.push_back(std::move(message));
    return IDOK;
}

TScriptedBackend& TScriptedBackend::Then(TStep step) {
    FSteps.push_back(std::move(step));
    return *this;
}

TScriptedBackend& TScriptedBackend::Type(const std::string& edit, const std::string& text) {
    return Then([edit, text](TForm& form) {
        form.UserSetText(Named<TEdit>(form, edit, TControlKind::Edit), text);
    });
}

TScriptedBackend& TScriptedBackend::Click(const std::string& button) {
    return Then([button](TForm& form) {
        form.UserClick(Named<TButton>(form, button, TControlKind::Button));
    });
}

TScriptedBackend& TScriptedBackend::Cancel() {
    return Then([](TForm& form) { form.UserCancel(); });
}

} // namespace quill::test
