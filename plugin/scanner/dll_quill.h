// TDllQuill: the keyboard-scanner driver, the concrete class of the library's one driver object.
// It hands the scanner method set (method tables A and B, property table 1) to the scanner driver
// base, with the scanner device manager as its device list and device item classes and the call
// entry of the plug-in.
//
// Created once at load by the library's start-up and freed at unload; like the driver object it
// is used on the thread of the host's calls. Construction points the keyboard hook procedure at
// this object's device list (the hook has no context of its own); destruction withdraws it.
#pragma once

#include "platform/ui/form_backend.h"
#include "plugin/scanner/base_dll_scanner.h"

namespace quill::plugin {

class TDllQuill : public TBaseDllScanner {
  public:
    // `tone`: the tone function of the method set's "Beep" (the platform's unless given);
    // `forms`: the backend of the devices' settings dialogs (borrowed; null: the current one).
    explicit TDllQuill(user::TToneFunction tone = &user::Beep, ui::TFormBackend* forms = nullptr);
    ~TDllQuill() override;
    std::string_view ClassName() const override { return "TDllQuill"; }
};

} // namespace quill::plugin
