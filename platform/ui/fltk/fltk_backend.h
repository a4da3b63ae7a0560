// The FLTK backend: draws a form model as a real modal window with FLTK 1.3 and feeds what the user
// does back into the model.
//
// It lives in a module of its own ("quill-fltk.so", loaded on demand by form_backend.cpp), so that
// a process without a display never loads the X libraries. The module exports only the factory
// QuillCreateFltkBackend(), which returns null when the display named by DISPLAY cannot be opened
// (the toolkit would otherwise end the process).
//
// Labels, edits, group boxes, track bars (with their ticks) and buttons are drawn at the model's
// positions; texts are Windows-1251 in the model and UTF-8 on screen. Edits report every change,
// the track bar keeps the model's steps and clamping (arrows a line step, Page Up/Down a page,
// Home/End the ends), Tab follows the model's tab order, Escape and the close box cancel. After
// every user action the widgets are brought up to date from the model (labels that handlers
// rewrote, the focus that a handler moved); the window closes when the model has accepted a modal
// result. Message boxes are the toolkit's alert with an "OK" button and the given caption.
//
// The backend runs on the thread that shows the form; one form at a time.
#pragma once

#include "platform/ui/form_backend.h"

extern "C" __attribute__((visibility("default"))) quill::ui::TFormBackend* QuillCreateFltkBackend();
