#include "plugin/scanner/dll_quill.h"

#include "plugin/control/call_entry.h"
#include "plugin/scanner/method_set.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

namespace quill::plugin {

TDllQuill::TDllQuill()
    : TBaseDllScanner(ScannerMethodTableA(), ScannerMethodTableB(), ScannerPropertyTable1(),
                      rtl::ItemClassOf<registry::TDeviceItem>,
                      ListClassOf<registry::TDevicesList>, &CallEntry) {}

} // namespace quill::plugin
