// The plug-in control holder: the interface reference that the export PluginControl hands out.
//
// The plug-in control object stores itself here when it is created and clears the holder when it
// is destroyed; nil while no control object exists. Written only while the library loads and
// unloads; the model interfaces read it to reach the driver object.
#pragma once

#include "quill/host.h"

namespace quill::exchange {

IPluginControl* PluginControlHolder();
void SetPluginControlHolder(IPluginControl* control);

} // namespace quill::exchange
