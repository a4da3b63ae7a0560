// The three exports of Quill.plu, the only symbols the plug-in makes visible.
#include "platform/com/com_types.h"
#include "plugin/control/call_entry.h"
#include "plugin/control/plugin_control.h"

#include <cstdint>

QUILL_EXPORT std::uint32_t WINAPI Query() {
    const auto distance = reinterpret_cast<std::uintptr_t>(&Query) -
                          reinterpret_cast<std::uintptr_t>(&quill::plugin::GuardedCallEntry);
    return static_cast<std::uint32_t>(distance) ^ quill::QueryMask;
}

QUILL_EXPORT void WINAPI PluginControl(quill::IPluginControl** control) {
    if (!control) return;
    quill::IPluginControl* holder = quill::plugin::PluginControlHolder();
    if (holder) holder->AddRef();
    *control = holder;
}

QUILL_EXPORT void WINAPI BeforeFreeLibrary() {}
