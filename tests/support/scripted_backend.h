// A form backend without a screen, driven by a script: each step is one thing a user does to the
// shown form (through the form's User* operations). Tests of dialog logic run on it; it is test
// support, not part of the run-time.
//
// Steps run in order, one per turn, while the form is open; a show ends when the form closes or
// the steps run out (the form then counts as cancelled, as when a user walks away). Steps left over
// stay for the next show. Message boxes are recorded with the focus at the time, and answered OK.
// Not thread-safe.
#pragma once

#include "platform/ui/form_backend.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quill::test {

struct TShownMessage {
    std::string Text;
    std::string Caption;
    unsigned Flags = 0;
    std::string FocusedName; // the control with the focus when the box came up
};

class TScriptedBackend : public ui::TFormBackend {
  public:
    using TStep = std::function<void(ui::TForm&)>;

    const char* Name() const override { return "scripted"; }
    ui::TModalResult RunModal(ui::TForm& form) override;
    int MessageBox(ui::TForm* owner, const std::string& text, const std::string& caption,
                   unsigned flags) override;

    // Appends a step.
    TScriptedBackend& Then(TStep step);
    // Common steps, by control name.
    TScriptedBackend& Type(const std::string& edit, const std::string& text);
    TScriptedBackend& Click(const std::string& button);
    TScriptedBackend& Cancel();

    std::size_t StepsLeft() const { return FSteps.size(); }
    int Shows = 0;
    std::vector<TShownMessage> Messages;

  private:
    std::deque<TStep> FSteps;
};

} // namespace quill::test
