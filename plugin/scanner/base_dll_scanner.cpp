#include "plugin/scanner/base_dll_scanner.h"

#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "registry/device/common_rows.h"
#include "registry/device/device_item.h"

namespace quill::plugin {

namespace {

// The two records describe the parameters the device list registers for every device: they are
// made from the list's rows, with the device's parameter as their handler.
constexpr PropertyRecord FromCommonRow(const registry::TParamDefRow& row) {
    return {row.Name,          row.SecondName,   row.Caption,     row.TypeName,
            row.ReadOnly != 0, row.DefaultValue, row.Description, &DeviceParamHandler};
}

const PropertyRecord kPropertyTable2[] = {FromCommonRow(registry::kCommonRows[0]),
                                          FromCommonRow(registry::kCommonRows[1])};

} // namespace

std::span<const PropertyRecord> ScannerPropertyTable2() {
    return kPropertyTable2;
}

bool DeviceParamHandler(rtl::TObject* context, bool write, com::OleVariant& value,
                        const std::string& name) {
    registry::TDeviceItem* device = TBaseDllObj::GetBaseDll(context)->CurrentDevice(context);
    if (!device) return false;
    if (write) {
        device->SetParamStr(name, rtl::VarToStr(value));
        return true;
    }
    if (const registry::TPropItem* property = device->FindParam(name))
        value = property->ValueAsVariant();
    else
        value = com::OleVariant(kernel::AnsiToWide(device->GetParamStr(name)));
    return true;
}

TBaseDllScanner::TBaseDllScanner(std::span<const MethodRecord> tableA,
                                 std::span<const MethodRecord> tableB,
                                 std::span<const PropertyRecord> table1,
                                 rtl::TCollectionItemClass deviceItemClass,
                                 DevicesListClass deviceListClass, CallEntryFunc callEntry,
                                 user::TToneFunction tone)
    : TBaseDllObj(tableA, tableB, table1, deviceItemClass, deviceListClass, callEntry),
      FTone(tone ? tone : &user::Beep) {
    SetPropertyTable2(kPropertyTable2);
}

} // namespace quill::plugin
