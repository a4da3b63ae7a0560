#include "capture/settings_dialog/kb_settings.h"

#include "platform/kernel/codepage.h"
#include "registry/device/result_codes.h"

#include <memory>

namespace quill::capture {

namespace {

struct TDialogTexts {
    std::string Caption = kernel::WideToAnsi(u"Настройка");
    std::string Identifier = kernel::WideToAnsi(u"Идентификатор:");
    std::string Parameters = kernel::WideToAnsi(u" Параметры ");
    std::string Prefix = kernel::WideToAnsi(u"Префикс:");
    std::string Suffix = kernel::WideToAnsi(u"Постфикс:");
    std::string TimeOut = kernel::WideToAnsi(u"Тайм-аут:");
    std::string Milliseconds = kernel::WideToAnsi(u" мс.");
    std::string Cancel = kernel::WideToAnsi(u"Отмена");
    std::string EmptyIdentifier = kernel::WideToAnsi(u"Идентификатор устройства пустой!");
    std::string CannotBeEmpty = kernel::WideToAnsi(u" - не может быть пустым!");
    std::string IdentifierCaption = kernel::WideToAnsi(u"Идентификатор");
    std::string PrefixCaption = kernel::WideToAnsi(u"Преффикс");
    std::string SuffixCaption = kernel::WideToAnsi(u"Постфикс");
};

const TDialogTexts& Texts() {
    static const TDialogTexts texts;
    return texts;
}

constexpr int kInitialTimeOut = 50;

} // namespace

TfmKBSettings::TfmKBSettings(const TKBSettingsValues& values) : TfmBaseFormPlu("fmKBSettings") {
    BuildLayout();
    ApplyColors();
    LoadValues(values);
}

void TfmKBSettings::BuildLayout() {
    const TDialogTexts& texts = Texts();
    Text = texts.Caption;
    SetBounds(0, 0, 336, 191);
    BorderStyle = ui::TBorderStyle::Dialog;
    Position = ui::TPosition::ScreenCenter;
    Font.Name = "MS Sans Serif";
    Font.Height = -11;

    lbIdentif = Add<ui::TLabel>("lbIdentif");
    lbIdentif->SetBounds(8, 12, 83, 13);
    lbIdentif->Text = texts.Identifier;

    edIdentif = Add<ui::TEdit>("edIdentif");
    edIdentif->SetBounds(96, 8, 233, 21);
    edIdentif->TabOrder = 0;
    edIdentif->Anchors = ui::akLeft | ui::akTop | ui::akRight;

    gbParameters = Add<ui::TGroupBox>("gbParameters");
    gbParameters->SetBounds(8, 40, 321, 108);
    gbParameters->Text = texts.Parameters;
    gbParameters->TabOrder = 1;
    gbParameters->Anchors = ui::akLeft | ui::akTop | ui::akRight | ui::akBottom;

    lbPref = gbParameters->Add<ui::TLabel>("lbPref");
    lbPref->SetBounds(8, 24, 49, 13);
    lbPref->Text = texts.Prefix;

    edPref = gbParameters->Add<ui::TEdit>("edPref");
    edPref->SetBounds(72, 20, 241, 21);
    edPref->TabOrder = 0;

    lbPostf = gbParameters->Add<ui::TLabel>("lbPostf");
    lbPostf->SetBounds(8, 48, 54, 13);
    lbPostf->Text = texts.Suffix;

    edPost = gbParameters->Add<ui::TEdit>("edPost");
    edPost->SetBounds(72, 44, 241, 21);
    edPost->TabOrder = 1;

    lbTimeOut = gbParameters->Add<ui::TLabel>("lbTimeOut");
    lbTimeOut->SetBounds(8, 72, 49, 13);
    lbTimeOut->Text = texts.TimeOut;

    lbTO = gbParameters->Add<ui::TLabel>("lbTO");
    lbTO->SetBounds(72, 72, 23, 13);

    tbTO = gbParameters->Add<ui::TTrackBar>("tbTO");
    tbTO->SetBounds(120, 68, 193, 26);
    tbTO->SetRange(50, 1000);
    tbTO->LineSize = 25;
    tbTO->PageSize = 100;
    tbTO->Frequency = 50;
    tbTO->ThumbLength = 16;
    tbTO->TabOrder = 2;
    tbTO->OnChange = [this] { tbTOChange(); };

    btnOk = Add<ui::TButton>("btnOk");
    btnOk->SetBounds(161, 158, 80, 25);
    btnOk->Text = "OK";
    btnOk->ModalResult = ui::mrOk;
    btnOk->Glyph = true;
    btnOk->TabOrder = 2;
    btnOk->Anchors = ui::akRight | ui::akBottom;
    btnOk->OnClick = [this] { btnOkClick(); };

    btnCancel = Add<ui::TButton>("btnCancel");
    btnCancel->SetBounds(249, 158, 80, 25);
    btnCancel->Text = texts.Cancel;
    btnCancel->ModalResult = ui::mrCancel;
    btnCancel->Glyph = true;
    btnCancel->TabOrder = 3;
    btnCancel->Anchors = ui::akRight | ui::akBottom;

    ActiveControl = btnCancel;
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
}

void TfmKBSettings::LoadValues(const TKBSettingsValues& values) {
    edIdentif->Text = values.Identifier;
    edPref->Text = values.HookPref;
    edPost->Text = values.HookPost;
    if (values.ReadHookTimeOut) {
        try {
            tbTO->SetPosition(values.ReadHookTimeOut());
        } catch (...) {
            // A time-out that is not an integer leaves the track bar where it starts.
        }
    }
    tbTOChange();
}

void TfmKBSettings::tbTOChange() {
    lbTO->Text = std::to_string(tbTO->Position()) + Texts().Milliseconds;
}

void TfmKBSettings::btnOkClick() {
    if (!edIdentif->Text.empty()) return;
    MessageBox(Texts().EmptyIdentifier, Text, ui::MB_OK | ui::MB_ICONERROR);
    ModalResult = ui::mrNone;
}

void TfmKBSettings::FormCloseQuery(bool& canClose) {
    if (ModalResult == ui::mrCancel) return;
    const TDialogTexts& texts = Texts();
    const std::pair<ui::TEdit*, const std::string*> fields[] = {
        {edIdentif, &texts.IdentifierCaption},
        {edPref, &texts.PrefixCaption},
        {edPost, &texts.SuffixCaption},
    };
    for (const auto& [edit, caption] : fields) {
        if (!edit->Text.empty()) continue;
        MessageBox(*caption + texts.CannotBeEmpty, Text, ui::MB_OK | ui::MB_ICONERROR);
        SetFocus(edit);
        canClose = false;
        return;
    }
}

int ShowKBSettings(const TKBSettingsValues& values, TKBSettingsChoice& choice,
                   ui::TFormBackend* forms) {
    auto dialog = std::make_unique<TfmKBSettings>(values);
    if (dialog->ShowModal(forms) != ui::mrOk) return registry::results::Cancelled;
    choice.Identifier = dialog->Identifier();
    choice.Prefix = dialog->Prefix();
    choice.Suffix = dialog->Suffix();
    choice.TimeOut = dialog->TimeOut();
    return registry::results::Success;
}

} // namespace quill::capture
