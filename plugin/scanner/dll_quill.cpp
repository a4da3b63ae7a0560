#include "plugin/scanner/dll_quill.h"

#include "capture/manager/manager_quill.h"
#include "capture/manager/manager_quill_list.h"
#include "plugin/control/call_entry.h"
#include "plugin/scanner/method_set.h"

namespace quill::plugin {

namespace {

// The scanner list of the library's one driver object, for the hook procedure.
capture::TManagerQuillList* DriverScannerList() {
    return DllObject ? dynamic_cast<capture::TManagerQuillList*>(DllObject->Devices.get())
                     : nullptr;
}

} // namespace

TDllQuill::TDllQuill(user::TToneFunction tone, ui::TFormBackend* forms)
    : TBaseDllScanner(
          ScannerMethodTableA(), ScannerMethodTableB(), ScannerPropertyTable1(),
          rtl::ItemClassOf<capture::TManagerQuill>,
          [forms](rtl::TCollectionItemClass itemClass) -> registry::TDevicesList* {
              return new capture::TManagerQuillList(itemClass, forms);
          },
          &CallEntry, tone) {
    capture::SetScannerListAccessor(&DriverScannerList);
}

TDllQuill::~TDllQuill() {
    // The list goes with the base object; a hook still running must not find it.
    Devices.reset();
    capture::SetScannerListAccessor(nullptr);
}

} // namespace quill::plugin
