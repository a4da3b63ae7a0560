#include "plugin/scanner/base_dll_scanner.h"

#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "registry/device/device_item.h"

namespace quill::plugin {

namespace {

// The two records also describe the parameters the device list registers for every device, so
// their texts are the same as the list's rows.
const PropertyRecord kPropertyTable2[] = {
    {u"Использовать", u"Usable", u"Использовать", u"Integer", false, u"1",
     u"Признак того, что данное устройство может быть использовано (включено выключено и т.д.)\r\n"
     u"Допустимые значения: 0 - не может быть использовано, 1 - может",
     &DeviceParamHandler},
    {u"Неразделяемое", u"", u"Неразделяемое", u"Integer", false, u"0",
     u"Поведение оборудования при нескольких запушенных копий продукта на одной машине или в "
     u"терминальной сессии\r\n"
     u"Значение: 0 – Оборудование создается только на главной сессии;\r\n"
     u"1 – Каждый экземпляр точки доступа создает свое локальное оборудование",
     &DeviceParamHandler},
};

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
                                 DevicesListClass deviceListClass, CallEntryFunc callEntry)
    : TBaseDllObj(tableA, tableB, table1, deviceItemClass, deviceListClass, callEntry) {
    SetPropertyTable2(kPropertyTable2);
}

} // namespace quill::plugin
