#include "plugin/driver/base_dll_obj.h"

namespace quill::plugin {

TBaseDllObj* DllObject = nullptr;

} // namespace quill::plugin
