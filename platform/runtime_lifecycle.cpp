// Start-up of the shared run-time. The steps that must be done before a host or the plug-in uses
// the run-time run here, in this order, from this one module constructor rather than from static
// initialisers whose order the linker decides. The run-time is loaded before any module that uses
// it, so its start-up is complete before theirs begins.
//
// 1. The keyboard services are wired into message retrieval (key state, keyboard hooks,
//    TranslateMessage).
#include "platform/user/keyboard_wiring.h"

namespace quill {
namespace {

__attribute__((constructor)) void StartRuntime() {
    user::WireKeyboardServices();
}

} // namespace
} // namespace quill
