#include "exchange/module/plugin_control_holder.h"

namespace quill::exchange {

namespace {
IPluginControl* gHolder = nullptr;
}

IPluginControl* PluginControlHolder() {
    return gHolder;
}
void SetPluginControlHolder(IPluginControl* control) {
    gHolder = control;
}

} // namespace quill::exchange
