// The terminal form: a backend that shows a form model as text on a terminal and lets the user
// edit it line by line, for hosts that run without a display.
//
// The form is listed with its caption, its group boxes as sections, and every control in the tab
// order numbered: an edit or track bar with the labels on its row to the left as its caption, the
// buttons last. The user answers the prompt "> " with
//   a number       - edit that field (the next line is its new text, an empty line empties it),
//                    move that track bar ("+", "-" a line step, "++", "--" a page step, or a
//                    number), or click that button;
//   a button's caption (case-insensitive) - click it;
//   "esc"          - close with Cancel (so does the end of the input);
//   an empty line  - show the form again.
// Texts are shown in UTF-8 (the model's Windows-1251 converted); line breaks, tabs and "\" in a
// text are written and typed as \r, \n, \t and \\. Message boxes print their caption and text and
// wait for one line. The focused control is marked with "*".
//
// Streams are borrowed and used from the showing thread only.
#pragma once

#include "platform/ui/form_backend.h"

#include <iosfwd>

namespace quill::ui {

class TTerminalForm : public TFormBackend {
  public:
    TTerminalForm(std::istream& in, std::ostream& out) : FIn(in), FOut(out) {}
    const char* Name() const override { return "terminal"; }
    TModalResult RunModal(TForm& form) override;
    int MessageBox(TForm* owner, const std::string& text, const std::string& caption,
                   unsigned flags) override;

    // The visible form of a text: UTF-8 with \r, \n, \t and \\ escaped; and back.
    static std::string Show(const std::string& ansi);
    static std::string Parse(const std::string& utf8);

  private:
    void Render(TForm& form);
    bool ReadLine(std::string& line);
    // Carries out one answer; false when the input has ended.
    bool Execute(TForm& form, const std::string& answer);
    bool EditControl(TForm& form, TControl& control);

    std::istream& FIn;
    std::ostream& FOut;
};

} // namespace quill::ui
