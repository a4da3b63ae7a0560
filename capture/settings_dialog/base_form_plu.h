// TfmBaseFormPlu: the base form of the plug-in's dialogs, painted in the colours that the host's
// settings may carry.
//
// The dialog colours are process-wide values (0x00BBGGRR), each -1 ("not set") until the device
// list reads them from the host's settings; a colour of -1 is never applied, so that with no colour
// settings every control keeps its designed colours. A derived form builds its controls and then
// calls ApplyColors, which paints the form and then its controls, recursively in order: the form's
// background with ColorForm; a group box's background with ColorBody and its font with ColorFont; a
// label's font and a push button with glyph's font with ColorFont.
//
// The colour values are atomic; forms belong to the thread that shows them.
#pragma once

#include "platform/ui/form_model.h"

namespace quill::capture {

constexpr ui::TColor kColorNotSet = -1;

ui::TColor ColorForm();
ui::TColor ColorBody();
ui::TColor ColorFont();
void SetColorForm(ui::TColor color);
void SetColorBody(ui::TColor color);
void SetColorFont(ui::TColor color);

class TfmBaseFormPlu : public ui::TForm {
  public:
    explicit TfmBaseFormPlu(std::string name) : ui::TForm(std::move(name)) {}

  protected:
    // Paints the form and its controls in the dialog colours that are set.
    void ApplyColors();
};

} // namespace quill::capture
