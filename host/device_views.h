// The devices as the window shows them, read through the plug-in's members as any host would:
// name, on/off, and the framing parameters from the parameter table (GetProps); and a device's
// settings dialog through its own host interface.
//
// On the UI thread; the session's current device changes (ChoiceDevice).
#pragma once

#include "host/session.h"
#include "host/window/host_window.h"

#include <vector>

namespace quill::host {

std::vector<TDeviceView> ReadDeviceViews(TQuillSession& session);

// Opens the settings dialog of device `index` (0-based). Returns the dialog's result: 0 accepted,
// -1 cancelled or not shown.
int OpenDeviceSettings(TQuillSession& session, std::size_t index);

} // namespace quill::host
