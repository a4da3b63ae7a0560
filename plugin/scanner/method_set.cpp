#include "plugin/scanner/method_set.h"

#include "exchange/autoobject/late_bound_call.h"
#include "exchange/valuearray/value_array_class.h"
#include "infra/codes/coded_exception.h"
#include "infra/root/guid_text.h"
#include "infra/root/variant_kind.h"
#include "infra/version/version_info.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/user/beep.h"
#include "platform/xml/dom.h"
#include "plugin/driver/base_dll_obj.h"
#include "plugin/scanner/base_dll_scanner.h"
#include "registry/device/device_item.h"
#include "registry/device/result_codes.h"
#include "registry/list/devices_list.h"
#include "registry/models/model_plu_item.h"
#include "registry/models/model_plu_list.h"

#include <climits>
#include <cstdint>

namespace quill::plugin {

using com::OleVariant;
using com::VARIANT;
using com::VARTYPE;

namespace methods {
namespace {

using infra::Deref;
using infra::IsObject;
using infra::IsText;
namespace results = registry::results;

// What property handlers work on: they have the form of device parameter accessors, which know
// only the call's context, so they find the driver object behind it.
TBaseDllObj& Driver(rtl::TObject* context) {
    return *TBaseDllObj::GetBaseDll(context);
}
registry::TDevicesList& List(rtl::TObject* context) {
    return *Driver(context).Devices;
}
registry::TDeviceItem* Current(rtl::TObject* context) {
    return Driver(context).CurrentDevice(context);
}

// A device's settings in the form the caller gave them: its document object for an object,
// otherwise the document's XML text.
OleVariant SettingsLike(const registry::TDeviceItem& device, const VARIANT& given) {
    OleVariant document = device.BuildSettingsDocument();
    if (IsObject(given)) return document;
    return OleVariant(xml::NodeFromVariant(document)->Xml());
}

// A row or column count: numbers count, anything else is 0.
std::int32_t CountOf(const VARIANT& v) {
    const VARTYPE kind = infra::VariantKind(Deref(v));
    switch (kind) {
    case com::VT_I1:
    case com::VT_I2:
    case com::VT_I4:
    case com::VT_I8:
    case com::VT_UI1:
    case com::VT_UI2:
    case com::VT_UI4:
    case com::VT_UI8:
    case com::VT_INT:
    case com::VT_UINT:
    case com::VT_R4:
    case com::VT_R8:
    case com::VT_CY:
    case com::VT_DECIMAL:
        return rtl::VarToInt(Deref(v));
    default:
        return 0;
    }
}

// Switches the current device through its property, which clears and then sets the device's
// last error: that code is the result. Switching is the one device operation whose failure is the
// hardware failure class, raised here with the device's text; the host's block stays as it was
// sent, as hosts have always read it after a failed switch.
void SwitchTo(TBaseDllObj& driver, rtl::TObject* context, int on, OleVariant& result) {
    registry::TDeviceItem* device = driver.CurrentDevice(context);
    // Nothing to switch: the driver's code for a missing device, as any other device call.
    std::int32_t code = results::DeviceNotFound;
    if (device) {
        OleVariant value(on);
        static const std::string name = kernel::WideToAnsi(u"УстройствоВключено");
        DeviceIsOn(context, true, value, name);
        code = device->ErrorCode();
    }
    if (code != results::Success)
        throw infra::EHardwareEquipmentException(code, driver.ResultText(context, code));
    result = OleVariant(code);
}

std::int32_t AddWithDialog(TBaseDllObj& driver, Args& args, bool showDialog) {
    registry::TDevicesList& list = *driver.Devices;
    OleVariant settings(Deref(args[0]));
    const std::int32_t code = list.AddDeviceWithDialog(settings, showDialog);
    list.RemoveThreadDevices();
    if (code == results::Success) args[0] = std::move(settings);
    return code;
}

} // namespace

void ChoiceDevice(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    result = OleVariant(driver.Devices->SelectDevice(args[0]));
}

void ResultDescription(TBaseDllObj& driver, rtl::TObject* context, Args& args, OleVariant& result) {
    const VARTYPE type = infra::DerefType(args[0]);
    if (type != com::VT_I2 && type != com::VT_I4 && type != com::VT_R4 && type != com::VT_R8) {
        result = OleVariant(results::WrongParameterType);
        return;
    }
    const std::int32_t code = rtl::VarToInt(Deref(args[0]));
    result = OleVariant(kernel::AnsiToWide(driver.ResultText(context, code)));
}

void SettingDevices(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    if (!IsText(args[0]) && !IsObject(args[0])) {
        result = OleVariant(results::WrongParameterType);
        return;
    }
    registry::TDevicesList& list = *driver.Devices;
    list.LoadList(Deref(args[0]));
    result = OleVariant(results::Success);
    list.RemoveThreadDevices();
}

void DeleteDevice(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    result = OleVariant(results::DeviceNotFound);
    if (infra::DerefType(args[0]) != com::VT_I4) return;
    registry::TDevicesList& list = *driver.Devices;
    const std::int32_t n = rtl::VarToInt(Deref(args[0]));
    if (n < 1 || n > list.DeviceCount()) return;
    list.GetItem(n - 1)->CloseItem();
    result = OleVariant(results::Success);
}

void AddDeviceEx(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    result = OleVariant(AddWithDialog(driver, args, true));
}

void AddDevice(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    result = OleVariant(AddWithDialog(driver, args, false));
}

void SettingsDeviceEx(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    registry::TDevicesList& list = *driver.Devices;
    const OleVariant identifier(Deref(args[0]));
    const OleVariant settings(Deref(args[1]));
    list.LoadList(settings);
    std::int32_t code = results::Cancelled;
    registry::TDeviceItem* device = nullptr;
    if (infra::IsGuidText(identifier)) {
        const com::GUID guid = infra::GuidFromText(rtl::VarToWide(identifier));
        code = list.ShowDeviceSettings(guid);
        device = list.FindByGuid(guid);
    }
    OleVariant changed;
    if (code == results::Success && device) changed = SettingsLike(*device, settings);
    list.RemoveThreadDevices();
    if (code == results::Success) {
        args[0] = identifier;
        args[1] = std::move(changed);
    }
    result = OleVariant(code);
}

void ResultZero(TBaseDllObj&, rtl::TObject*, Args&, OleVariant& result) {
    result = OleVariant(results::Success);
}

void GetPlgInfo(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    result = OleVariant(results::Success);
    registry::TDevicesList& list = *driver.Devices;
    if (IsText(args[7]) || IsObject(args[7])) list.LoadModelList(Deref(args[7]));

    // The driver's first model is the one that describes the plug-in.
    registry::TModelPluList& models = list.ModelList();
    if (models.Count() == 0) return; // a driver without models has nothing to describe
    const auto& model = *static_cast<const registry::TModelPluItem*>(models.Items(0));
    const com::GUID id = model.Id();
    const std::u16string& name = model.Name;
    const std::int32_t numbers[5] = {model.Number1, model.Number2, model.Number3, model.Number4,
                                     model.UsesPlatform};
    const std::u16string parameters = model.ParametersText();
    const std::u16string further[3] = {model.Identifier, model.EquipmentClass,
                                       model.EquipmentClassName};

    args[0] = OleVariant(infra::GuidToText(id));
    args[1] = OleVariant(name);
    for (int i = 0; i < 5; ++i)
        args[2 + i] = OleVariant(numbers[i]);
    args[7] = OleVariant(parameters);
    for (int i = 0; i < 3; ++i)
        args[8 + i] = OleVariant(further[i]);
    // A pointer that does not fit 32 bits travels as a 64-bit integer rather than truncated.
    const auto reference = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(&list));
    if (reference >= INT32_MIN && reference <= INT32_MAX)
        args[11] = OleVariant(static_cast<int>(reference));
    else
        args[11] = OleVariant(static_cast<com::LONGLONG>(reference));
}

void GetSettingsXML(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    if (!IsText(args[0])) {
        result = OleVariant(results::WrongParameterType);
        return;
    }
    OleVariant settings;
    const std::int32_t code = driver.Devices->GetDeviceSettings(Deref(args[0]), settings);
    if (code == results::Success) args[1] = std::move(settings);
    result = OleVariant(code);
}

void SwitchOn(TBaseDllObj& driver, rtl::TObject* context, Args&, OleVariant& result) {
    SwitchTo(driver, context, 1, result);
}

void SwitchOff(TBaseDllObj& driver, rtl::TObject* context, Args&, OleVariant& result) {
    SwitchTo(driver, context, 0, result);
}

void GetProps(TBaseDllObj& driver, rtl::TObject* context, Args& args, OleVariant& result) {
    registry::TDeviceItem* device = driver.CurrentDevice(context);
    if (!device) {
        result = OleVariant(results::DeviceNotFound);
        return;
    }
    OleVariant table;
    const std::int32_t code = device->GetParamTable(table);
    if (code == results::Success) args[0] = std::move(table);
    result = OleVariant(code);
}

void SetProps(TBaseDllObj& driver, rtl::TObject* context, Args& args, OleVariant& result) {
    registry::TDeviceItem* device = driver.CurrentDevice(context);
    if (!device) {
        result = OleVariant(results::DeviceNotFound);
        return;
    }
    // The table the host passes is what it wants set; an operation that ignored it could only
    // ever fail.
    result = OleVariant(device->SetParamTable(Deref(args[0])));
}

void CreateComSafeArray(TBaseDllObj&, rtl::TObject*, Args& args, OleVariant& result) {
    com::ComPtr<ISafeArray> array = exchange::CreateValueArray();
    const OleVariant rows(CountOf(args[0]));
    const OleVariant columns(CountOf(args[1]));
    exchange::CallByName(array.Get(), u"SetBounds", {rows, columns});
    result = OleVariant(static_cast<com::IDispatch*>(array.Get()));
}

void Beep(TBaseDllObj& driver, rtl::TObject*, Args& args, OleVariant& result) {
    const VARTYPE f = infra::DerefType(args[0]), d = infra::DerefType(args[1]);
    const auto isInteger = [](VARTYPE t) { return t == com::VT_I2 || t == com::VT_I4; };
    if (!isInteger(f) || !isInteger(d)) {
        result = OleVariant(results::WrongParameterType);
        return;
    }
    const std::int32_t frequency = rtl::VarToInt(Deref(args[0]));
    const std::int32_t duration = rtl::VarToInt(Deref(args[1]));
    result = OleVariant(results::Success);
    // A negative tone would reach the tone function as a huge unsigned value: a tone of some 49
    // days, for which the system's tone function waits. It is not sounded; the call succeeds as
    // any other tone does.
    if (frequency < 0 || duration < 0) return;
    const auto tone = static_cast<user::DWORD>(frequency);
    const auto length = static_cast<user::DWORD>(duration);
    // The scanner drivers sound it through their own tone function.
    if (const auto* scanner = dynamic_cast<const TBaseDllScanner*>(&driver))
        scanner->Tone(tone, length);
    else
        user::Beep(tone, length);
}

bool PropertyPageEnabled(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDevicesList& list = List(context);
    if (write)
        list.SetPropertyPageEnabled(rtl::VarToInt(Deref(value)));
    else
        value = OleVariant(list.PropertyPageEnabled());
    return true;
}

bool DeviceNumber(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDevicesList& list = List(context);
    if (write)
        list.SetCurrent(rtl::VarToInt(Deref(value)));
    else
        value = OleVariant(list.Current());
    return true;
}

bool DeviceName(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDevicesList& list = List(context);
    if (write)
        list.SetCurrentIdentifier(rtl::VarToStr(Deref(value)));
    else
        value = OleVariant(kernel::AnsiToWide(list.CurrentIdentifier()));
    return true;
}

bool DevicesQuantity(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    if (!write) value = OleVariant(List(context).DeviceCount());
    return true;
}

bool DeviceIsOn(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDeviceItem* device = Current(context);
    if (!device) return false;
    device->SetError(results::Success);
    if (!write) {
        value = OleVariant(static_cast<int>(device->GetState()));
        return true;
    }
    const std::int32_t requested = rtl::VarToInt(Deref(value));
    if (device->EventSink)
        device->SetState(requested != 0 ? 1 : 0);
    else
        device->SetState(requested);
    return true;
}

bool Result(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    if (write) return true;
    registry::TDeviceItem* device = Current(context);
    value = OleVariant(device ? device->ErrorCode() : results::DeviceNotFound);
    return true;
}

bool Release(rtl::TObject*, bool write, OleVariant& value, const std::string&) {
    if (write) return true;
    const auto version = infra::TVersionInfo::ForOwnModule();
    const auto release = static_cast<com::SHORT>(version->VersionNumbers().Low >> 16);
    value = OleVariant::FromShort(release);
    return true;
}

} // namespace methods

namespace {

const MethodRecord kMethodTableA[] = {
    {u"ChoiceDevice,ВыбратьУстройство", 1, &methods::ChoiceDevice},
};

const MethodRecord kMethodTableB[] = {
    {u"ResultDescription,ОписаниеОшибки", 1, &methods::ResultDescription},
    {u"НастроитьУстройства,SettingDevices", 1, &methods::SettingDevices},
    {u"УдалитьУстройство,DeleteDevice", 1, &methods::DeleteDevice},
    {u"ДобавитьУстройствоРасш,AddDeviceEx", 1, &methods::AddDeviceEx},
    {u"ДобавитьУстройство,AddDevice", 1, &methods::AddDevice},
    {u"ИзменитьУстройствоРасш,SettingsDeviceEx", 2, &methods::SettingsDeviceEx},
    {u"СохранитьНастройки,SaveSettings", 0, &methods::ResultZero},
    {u"ИнформацияОПлагине,GetPlgInfo", 13, &methods::GetPlgInfo},
    {u"ПолучитьНастройкиXML,GetSettingsXML", 2, &methods::GetSettingsXML},
    {u"Включить,SwitchOn", 1, &methods::SwitchOn},
    {u"Выключить,SwitchOff", 1, &methods::SwitchOff},
    {u"ПолучитьСвойства,GetProps", 1, &methods::GetProps},
    {u"УстановитьСвойства,SetProps", 1, &methods::SetProps},
    {u"СоздатьПараметры,CreateComSafeArray", 2, &methods::CreateComSafeArray},
    {u"Гудок,Beep", 2, &methods::Beep},
    {u"ЗагрузитьНастройки,LoadSettings", 0, &methods::ResultZero},
    {u"ОтобразитьСтраницуСвойств,ShowPropertyPage", 1, &methods::ResultZero},
};

const PropertyRecord kPropertyTable1[] = {
    {u"ДоступностьСтраницыСвойств", u"PropertyPageEnabled", u"", u"", false, u"", u"",
     &methods::PropertyPageEnabled},
    {u"НомерУстройства", u"DeviceNumber", u"", u"", false, u"", u"", &methods::DeviceNumber},
    {u"ИмяУстройства", u"DeviceName", u"", u"", false, u"", u"", &methods::DeviceName},
    {u"КоличествоУстройств", u"DevicesQuantity", u"", u"", true, u"", u"",
     &methods::DevicesQuantity},
    {u"УстройствоВключено", u"DeviceIsOn", u"", u"", false, u"", u"", &methods::DeviceIsOn},
    {u"Результат", u"Result", u"", u"", true, u"", u"", &methods::Result},
    {u"Релиз", u"Release", u"", u"", true, u"", u"", &methods::Release},
};

} // namespace

std::span<const MethodRecord> ScannerMethodTableA() {
    return kMethodTableA;
}
std::span<const MethodRecord> ScannerMethodTableB() {
    return kMethodTableB;
}
std::span<const PropertyRecord> ScannerPropertyTable1() {
    return kPropertyTable1;
}

} // namespace quill::plugin
