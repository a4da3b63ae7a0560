#include "plugin/scanner/method_set.h"

#include "exchange/autoobject/late_bound_call.h"
#include "exchange/valuearray/value_array.h"
#include "infra/codes/coded_exception.h"
#include "infra/root/guid_text.h"
#include "infra/root/variant_kind.h"
#include "infra/version/version_info.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/user/beep.h"
#include "platform/xml/dom.h"
#include "plugin/driver/base_dll_obj.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

#include <climits>
#include <cstdint>

namespace quill::plugin {

using com::OleVariant;
using com::VARIANT;
using com::VARTYPE;

namespace methods {
namespace {

// The value itself for a by-reference argument.
const VARIANT& Deref(const VARIANT& v) {
    return v.vt == (com::VT_BYREF | com::VT_VARIANT) && v.pvarVal ? *v.pvarVal : v;
}
VARTYPE TypeOf(const VARIANT& v) {
    return Deref(v).vt & ~com::VT_BYREF;
}
bool IsText(const VARIANT& v) {
    return TypeOf(v) == com::VT_BSTR;
}
bool IsObject(const VARIANT& v) {
    return TypeOf(v) == com::VT_DISPATCH;
}

TBaseDllObj& Driver(rtl::TObject* context) {
    return *TBaseDllObj::GetBaseDll(context);
}
registry::TDevicesList& List(rtl::TObject* context) {
    return *Driver(context).Devices;
}
registry::TDeviceItem* Current(rtl::TObject* context) {
    return Driver(context).CurrentDevice(context);
}

std::string ErrorText(rtl::TObject* context, std::int32_t code) {
    if (registry::TDeviceItem* device = Current(context)) return device->GetErrorText(code);
    return List(context).GetErrorText(code);
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

void SwitchTo(rtl::TObject* context, int on, OleVariant& result) {
    result = OleVariant(0);
    registry::TDeviceItem* device = Current(context);
    if (!device) {
        // Nothing to switch: the driver's code for a missing device, as any other device call.
        result = OleVariant(3);
        throw infra::EHardwareEquipmentException(3, List(context).GetErrorText(3));
    }
    OleVariant value(on);
    static const std::string name = kernel::WideToAnsi(u"УстройствоВключено");
    DeviceIsOn(context, true, value, name);
    const std::int32_t code = device->FErrorCode;
    result = OleVariant(code);
    if (code != 0) throw infra::EHardwareEquipmentException(code, device->GetErrorText(code));
}

std::int32_t AddWithDialog(rtl::TObject* context, Args& args, bool showDialog) {
    registry::TDevicesList& list = List(context);
    OleVariant settings(Deref(args[0]));
    const std::int32_t code = list.AddDeviceWithDialog(settings, showDialog);
    list.RemoveThreadDevices();
    if (code == 0) args[0] = std::move(settings);
    return code;
}

// The model's texts read through its interface; nil texts become empty.
std::u16string Take(com::BSTR text) {
    std::u16string result = text ? std::u16string(text, com::SysStringLen(text)) : std::u16string();
    com::SysFreeString(text);
    return result;
}

void Check(com::HRESULT hr) {
    if (com::FAILED(hr)) throw rtl::EOleSysError("The model could not be read", hr);
}

} // namespace

void ChoiceDevice(rtl::TObject* context, Args& args, OleVariant& result) {
    result = OleVariant(List(context).SelectDevice(args[0]));
}

void ResultDescription(rtl::TObject* context, Args& args, OleVariant& result) {
    const VARTYPE type = TypeOf(args[0]);
    if (type != com::VT_I2 && type != com::VT_I4 && type != com::VT_R4 && type != com::VT_R8) {
        result = OleVariant(4);
        return;
    }
    const std::int32_t code = rtl::VarToInt(Deref(args[0]));
    result = OleVariant(kernel::AnsiToWide(ErrorText(context, code)));
}

void SettingDevices(rtl::TObject* context, Args& args, OleVariant& result) {
    if (!IsText(args[0]) && !IsObject(args[0])) {
        result = OleVariant(4);
        return;
    }
    registry::TDevicesList& list = List(context);
    list.LoadList(Deref(args[0]));
    result = OleVariant(0);
    list.RemoveThreadDevices();
}

void DeleteDevice(rtl::TObject* context, Args& args, OleVariant& result) {
    result = OleVariant(3);
    if (TypeOf(args[0]) != com::VT_I4) return;
    registry::TDevicesList& list = List(context);
    const std::int32_t n = rtl::VarToInt(Deref(args[0]));
    if (n < 1 || n > list.DeviceCount()) return;
    list.GetItem(n - 1)->CloseItem();
    result = OleVariant(0);
}

void AddDeviceEx(rtl::TObject* context, Args& args, OleVariant& result) {
    result = OleVariant(AddWithDialog(context, args, true));
}

void AddDevice(rtl::TObject* context, Args& args, OleVariant& result) {
    result = OleVariant(AddWithDialog(context, args, false));
}

void SettingsDeviceEx(rtl::TObject* context, Args& args, OleVariant& result) {
    registry::TDevicesList& list = List(context);
    const OleVariant identifier(Deref(args[0]));
    const OleVariant settings(Deref(args[1]));
    list.LoadList(settings);
    std::int32_t code = -1;
    registry::TDeviceItem* device = nullptr;
    if (infra::IsGuidText(identifier)) {
        const com::GUID guid = infra::GuidFromText(rtl::VarToWide(identifier));
        code = list.ShowDeviceSettings(guid);
        device = list.FindByGuid(guid);
    }
    OleVariant changed;
    if (code == 0 && device) changed = SettingsLike(*device, settings);
    list.RemoveThreadDevices();
    if (code == 0) {
        args[0] = identifier;
        args[1] = std::move(changed);
    }
    result = OleVariant(code);
}

void ResultZero(rtl::TObject*, Args&, OleVariant& result) {
    result = OleVariant(0);
}

void GetPlgInfo(rtl::TObject* context, Args& args, OleVariant& result) {
    result = OleVariant(0);
    TBaseDllObj& driver = Driver(context);
    registry::TDevicesList& list = *driver.Devices;
    if (IsText(args[7]) || IsObject(args[7])) list.LoadModelList(Deref(args[7]));

    // Read as a host would, through the plug-in's own interfaces.
    IDllObject* object = nullptr;
    Check(driver.PluginControl->GetDllInterface(&object));
    com::ComPtr<IDllObject> dll = com::ComPtr<IDllObject>::Adopt(object);
    IPluModel* raw = nullptr;
    Check(dll->GetModel(0, &raw));
    if (!raw) return; // a driver without models has nothing to describe
    com::ComPtr<IPluModel> model = com::ComPtr<IPluModel>::Adopt(raw);

    com::GUID id{};
    Check(model->GetId(&id));
    com::BSTR text = nullptr;
    std::int32_t numbers[5] = {};
    Check(model->GetName(&text));
    const std::u16string name = Take(text);
    Check(model->GetNumber1(&numbers[0]));
    Check(model->GetNumber2(&numbers[1]));
    Check(model->GetNumber3(&numbers[2]));
    Check(model->GetNumber4(&numbers[3]));
    Check(model->GetUsesPlatform(&numbers[4]));
    text = nullptr;
    Check(model->GetParametersText(&text));
    const std::u16string parameters = Take(text);
    std::u16string further[3];
    text = nullptr;
    Check(model->GetIdentifier(&text));
    further[0] = Take(text);
    text = nullptr;
    Check(model->GetEquipmentClass(&text));
    further[1] = Take(text);
    text = nullptr;
    Check(model->GetEquipmentClassName(&text));
    further[2] = Take(text);

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

void GetSettingsXML(rtl::TObject* context, Args& args, OleVariant& result) {
    if (!IsText(args[0])) {
        result = OleVariant(4);
        return;
    }
    OleVariant settings;
    const std::int32_t code = List(context).GetDeviceSettings(Deref(args[0]), settings);
    if (code == 0) args[1] = std::move(settings);
    result = OleVariant(code);
}

void SwitchOn(rtl::TObject* context, Args&, OleVariant& result) {
    SwitchTo(context, 1, result);
}

void SwitchOff(rtl::TObject* context, Args&, OleVariant& result) {
    SwitchTo(context, 0, result);
}

void GetProps(rtl::TObject* context, Args& args, OleVariant& result) {
    registry::TDeviceItem* device = Current(context);
    if (!device) {
        result = OleVariant(3);
        return;
    }
    OleVariant table;
    const std::int32_t code = device->GetParamTable(table);
    if (code == 0) args[0] = std::move(table);
    result = OleVariant(code);
}

void SetProps(rtl::TObject* context, Args& args, OleVariant& result) {
    registry::TDeviceItem* device = Current(context);
    if (!device) {
        result = OleVariant(3);
        return;
    }
    // The table the host passes is what it wants set; an operation that ignored it could only
    // ever fail.
    result = OleVariant(device->SetParamTable(Deref(args[0])));
}

void CreateComSafeArray(rtl::TObject*, Args& args, OleVariant& result) {
    com::ComPtr<ISafeArray> array = exchange::CreateValueArray();
    const OleVariant rows(CountOf(args[0]));
    const OleVariant columns(CountOf(args[1]));
    exchange::CallByName(array.Get(), u"SetBounds", {rows, columns});
    result = OleVariant(static_cast<com::IDispatch*>(array.Get()));
}

void Beep(rtl::TObject*, Args& args, OleVariant& result) {
    const VARTYPE f = TypeOf(args[0]), d = TypeOf(args[1]);
    const auto isInteger = [](VARTYPE t) { return t == com::VT_I2 || t == com::VT_I4; };
    if (!isInteger(f) || !isInteger(d)) {
        result = OleVariant(4);
        return;
    }
    const std::int32_t frequency = rtl::VarToInt(Deref(args[0]));
    const std::int32_t duration = rtl::VarToInt(Deref(args[1]));
    if (frequency < 0 || duration < 0) {
        // A negative tone would reach the tone function as a huge unsigned value.
        result = OleVariant(5);
        return;
    }
    user::Beep(static_cast<user::DWORD>(frequency), static_cast<user::DWORD>(duration));
    result = OleVariant(0);
}

bool PropertyPageEnabled(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDevicesList& list = List(context);
    if (write)
        list.FPropertyPageEnabled = rtl::VarToInt(Deref(value));
    else
        value = OleVariant(list.FPropertyPageEnabled);
    return true;
}

bool DeviceNumber(rtl::TObject* context, bool write, OleVariant& value, const std::string&) {
    registry::TDevicesList& list = List(context);
    if (write)
        list.SetCurrent(rtl::VarToInt(Deref(value)));
    else
        value = OleVariant(list.FCurrent);
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
    device->SetError(0);
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
    value = OleVariant(device ? device->FErrorCode : 3);
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
