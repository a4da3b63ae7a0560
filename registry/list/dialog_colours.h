// The process-wide colours of the plug-in's dialogs, read from the host's settings.
//
// -1 means "not set": the dialog keeps its designed colour. Written by the device list when it
// reads settings and read by the dialogs, both on the host's thread.
#pragma once

#include <cstdint>

namespace quill::registry {

struct TDialogColours {
    std::int32_t ColorForm = -1;
    std::int32_t ColorBody = -1;
    std::int32_t ColorFont = -1;
};

const TDialogColours& DialogColours();
void SetDialogColours(const TDialogColours& colours);

} // namespace quill::registry
