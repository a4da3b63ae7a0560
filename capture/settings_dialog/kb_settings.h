// TfmKBSettings: the settings dialog of one keyboard scanner device - its identifier, prefix,
// suffix and time-out.
//
// The dialog is loaded from the values as the device gives them: the identifier, the "HookPref" and
// "HookPost" texts (line breaks already unescaped), and the "HookTimeOut" read, which may raise; a
// failed read leaves the track bar at its initial 50, and any value is clamped to 50..1000. After
// the dialog closes with OK, Identifier, Prefix, Suffix and TimeOut give what the user chose.
//
// Checks: OK with an empty identifier shows "Идентификатор устройства пустой!" and keeps the dialog
// open; closing with any result other than Cancel shows, for the first empty field of identifier,
// prefix and suffix, its caption followed by " - не может быть пустым!", focuses that field and
// keeps the dialog open. Cancel, Escape and the close box skip every check.
//
// ShowKBSettings runs one dialog from creation to destruction. Texts are Windows-1251. The dialog
// belongs to the thread that shows it; failures of the time-out read are the only exceptions it
// catches.
#pragma once

#include "capture/settings_dialog/base_form_plu.h"

#include <functional>
#include <string>

namespace quill::capture {

// What the device gives the dialog.
struct TKBSettingsValues {
    std::string Identifier;
    std::string HookPref;
    std::string HookPost;
    // The device's integer read of "HookTimeOut"; may raise. Empty: nothing to read.
    std::function<int()> ReadHookTimeOut;
};

class TfmKBSettings : public TfmBaseFormPlu {
  public:
    explicit TfmKBSettings(const TKBSettingsValues& values);

    std::string Identifier() const { return edIdentif->Text; }
    std::string Prefix() const { return edPref->Text; }
    std::string Suffix() const { return edPost->Text; }
    int TimeOut() const { return tbTO->Position(); }

    // Event handlers.
    void FormCloseQuery(bool& canClose);
    void tbTOChange();
    void btnOkClick();

    // The controls (owned by the form).
    ui::TGroupBox* gbParameters;
    ui::TLabel* lbPref;
    ui::TLabel* lbPostf;
    ui::TLabel* lbTimeOut;
    ui::TEdit* edPref;
    ui::TEdit* edPost;
    ui::TLabel* lbTO;
    ui::TTrackBar* tbTO;
    ui::TEdit* edIdentif;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;
    ui::TLabel* lbIdentif;

  private:
    void BuildLayout();
    void LoadValues(const TKBSettingsValues& values);
};

// What the user chose in a dialog closed with OK.
struct TKBSettingsChoice {
    std::string Identifier;
    std::string Prefix;
    std::string Suffix;
    int TimeOut = 0;
};

// Creates the dialog for `values`, shows it modally and frees it. Returns 0 and fills `choice` when
// it closed with OK; returns -1 and leaves `choice` alone otherwise (also when no backend can show
// it). `forms`: the backend that shows it (borrowed; null: the current one).
int ShowKBSettings(const TKBSettingsValues& values, TKBSettingsChoice& choice,
                   ui::TFormBackend* forms = nullptr);

} // namespace quill::capture
