#include "capture/settings_dialog/base_form_plu.h"

#include <atomic>

namespace quill::capture {

namespace {

std::atomic<ui::TColor> gColorForm{kColorNotSet};
std::atomic<ui::TColor> gColorBody{kColorNotSet};
std::atomic<ui::TColor> gColorFont{kColorNotSet};

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

ui::TColor ColorForm() {
    return gColorForm.load();
}
ui::TColor ColorBody() {
    return gColorBody.load();
}
ui::TColor ColorFont() {
    return gColorFont.load();
}
void SetColorForm(ui::TColor color) {
    gColorForm.store(color);
}
void SetColorBody(ui::TColor color) {
    gColorBody.store(color);
}
void SetColorFont(ui::TColor color) {
    gColorFont.store(color);
}

void TfmBaseFormPlu::ApplyColors() {
    Paint(Color, ColorForm());
    PaintControls(*this, ColorBody(), ColorFont());
}

} // namespace quill::capture
