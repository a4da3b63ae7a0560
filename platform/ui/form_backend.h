// Form backends: what draws a form model and lets a user work it, and which one is used.
//
// A backend shows one form modally (RunModal returns when the form's modal result has been
// accepted, or the user could not be reached) and shows message boxes. A show uses the backend
// it is given (tests give a scripted one); without one, the backend is chosen on every show: the
// FLTK window module when DISPLAY is set and the module "quill-fltk.so" (beside this run-time as
// a build leaves it, else in "quill/" beside it as an installation does) loads and reaches the
// display; else the terminal form when standard input is a terminal; else
// none, and a modal show counts as cancelled. The FLTK module is loaded on demand, so a host
// without a display never needs the X libraries; once loaded it stays loaded.
//
// On Windows the backend is the system's own: the form in native controls (Win32FormBackend),
// always at hand; the FLTK and terminal backends are not built there.
//
// Backends run on the thread that shows the form.
#pragma once

#include "platform/ui/form_model.h"

#include <string>

namespace quill::ui {

class TFormBackend {
  public:
    virtual ~TFormBackend() = default;
    virtual const char* Name() const = 0;
    // Shows `form` until it closes and returns its modal result.
    virtual TModalResult RunModal(TForm& form) = 0;
    // Shows a message box over `owner` (may be null); returns the button pressed.
    virtual int MessageBox(TForm* owner, const std::string& text, const std::string& caption,
                           unsigned flags) = 0;
};

// The backend that a show given none would use now; null when there is none.
TFormBackend* CurrentFormBackend();

#ifdef _WIN32
// The form as a modal window of native controls (labels, edits, group boxes, the common
// controls' track bar, buttons) and the system's message boxes.
TFormBackend* Win32FormBackend();
#else
// The FLTK backend, loading its module from `modulePath` (empty: beside this run-time) on first
// use; null when DISPLAY is not set, the module cannot be loaded or the display cannot be opened.
TFormBackend* FltkFormBackend(const std::string& modulePath = {});
// The terminal form on the process's standard input and output.
TFormBackend* TerminalFormBackend();

// The name of the FLTK module's factory: extern "C" TFormBackend* QuillCreateFltkBackend().
constexpr const char* kFltkFactoryName = "QuillCreateFltkBackend";
#endif

} // namespace quill::ui
