#include "capture/settings_dialog/base_form_plu.h"

#include "registry/list/dialog_colours.h"

namespace quill::capture {

namespace {

void Paint(ui::TColor& target, ui::TColor color) {
    if (color != kColorNotSet) target = color;
}

void PaintControls(ui::TControl& parent, ui::TColor body, ui::TColor font) {
    for (const auto& child : parent.Controls()) {
        switch (child->Kind()) {
        case ui::TControlKind::GroupBox:
            Paint(child->Color, body);
            Paint(child->Font.Color, font);
            break;
        case ui::TControlKind::Label:
            Paint(child->Font.Color, font);
            break;
        case ui::TControlKind::Button:
            if (static_cast<ui::TButton&>(*child).Glyph) Paint(child->Font.Color, font);
            break;
        default:
            break;
        }
        PaintControls(*child, body, font);
    }
}

} // namespace

// The colours live with the device list, which reads them from the host's settings.
ui::TColor ColorForm() {
    return registry::DialogColours().ColorForm;
}
ui::TColor ColorBody() {
    return registry::DialogColours().ColorBody;
}
ui::TColor ColorFont() {
    return registry::DialogColours().ColorFont;
}

void SetColorForm(ui::TColor color) {
    auto colours = registry::DialogColours();
    colours.ColorForm = color;
    registry::SetDialogColours(colours);
}
void SetColorBody(ui::TColor color) {
    auto colours = registry::DialogColours();
    colours.ColorBody = color;
    registry::SetDialogColours(colours);
}
void SetColorFont(ui::TColor color) {
    auto colours = registry::DialogColours();
    colours.ColorFont = color;
    registry::SetDialogColours(colours);
}

void TfmBaseFormPlu::ApplyColors() {
    Paint(Color, ColorForm());
    PaintControls(*this, ColorBody(), ColorFont());
}

} // namespace quill::capture
