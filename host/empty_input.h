// Why an input that was read without error gave nothing to work with: a recording in which no
// key event was found, or a settings file from which the plug-in made no device. quill-host says
// this instead of going on silently, since both usually mean a file of another shape than the
// user believes (line ends, an encoding, a namespace, text in front of each line).
//
// Each function looks only at the text (the settings file's bytes as read, the recording's text
// with its parse) and returns one sentence without a final full stop. Pure and thread-safe.
#pragma once

#include "host/recording.h"

#include <string>
#include <string_view>

namespace quill::host {

// `parse` is the successful parse of `text` that holds no key event.
std::string WhyNoKeyEvents(std::string_view text, const TRecordingParse& parse);

// `text` is a settings file, as read, from which SettingDevices made no device.
std::string WhyNoDevice(std::string_view text);

} // namespace quill::host
