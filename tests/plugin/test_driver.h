// A driver of the tests built on the real driver object base, with small tables that exercise
// every path of the call dispatch, a device list with a registered model, its own error texts and
// its own driver identifier (the instance mutex's name), and an event sink of a host.
#pragma once

#include "support/call_block.h"
#include "exchange/valuearray/value_array_class.h"
#include "infra/codes/coded_exception.h"
#include "platform/rtl/convert.h"
#include "plugin/control/call_entry.h"
#include "plugin/driver/base_dll_obj.h"

#include <atomic>
#include <span>
#include <string>
#include <vector>

namespace quill::test {

using com::OleVariant;

struct TestDriverState {
    OleVariant Value = OleVariant(7);
    std::string LastWrittenName;
    int Calls = 0;
    int PropertyCalls = 0;
    // What the last handler saw: its context, and the call context of the list's first device.
    rtl::TObject* SeenContext = nullptr;
    plugin::TBaseDllObj* SeenDriver = nullptr;
    rtl::TObject* SeenDeviceContext = nullptr;
    std::vector<OleVariant> SeenArguments;
};
inline TestDriverState& DriverState() {
    static TestDriverState state;
    return state;
}

// Records what a handler sees of its driver, its context and the driver's first device.
inline void Observe(plugin::TBaseDllObj& driver, rtl::TObject* context) {
    DriverState().SeenDriver = &driver;
    DriverState().SeenContext = context;
    DriverState().SeenDeviceContext =
        driver.Devices->Count() > 0 ? driver.Devices->GetItem(0)->CallContext() : nullptr;
}

inline void HandleChoose(plugin::TBaseDllObj& driver, rtl::TObject*, std::vector<OleVariant>& args,
                         OleVariant& result) {
    result = OleVariant(driver.Devices->SelectDevice(args[0]));
}
inline void HandleAdd(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>& args,
                      OleVariant& result) {
    ++DriverState().Calls;
    DriverState().SeenArguments = args;
    const int a = rtl::VarToInt(args[0]), b = rtl::VarToInt(args[1]);
    result = OleVariant(u"sum " + kernel::AnsiToWide(std::to_string(a + b)));
    args[0] = OleVariant(a * 10);
    args[1] = OleVariant(b * 10);
}
inline void HandleCode(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>& args,
                       OleVariant& result) {
    result = args[0];
}
inline void HandleNothing(plugin::TBaseDllObj& driver, rtl::TObject* context,
                          std::vector<OleVariant>&, OleVariant& result) {
    ++DriverState().Calls;
    Observe(driver, context);
    result = OleVariant(0);
}
inline void HandleFail(plugin::TBaseDllObj& driver, rtl::TObject* context, std::vector<OleVariant>&,
                       OleVariant&) {
    Observe(driver, context);
    throw rtl::Exception("handler failed");
}
inline void HandleCoded(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>&,
                        OleVariant&) {
    infra::RaiseCodedError(20029, {"X"});
}
inline void HandleThrow(plugin::TBaseDllObj&, rtl::TObject*, std::vector<OleVariant>&,
                        OleVariant&) {
    throw 42;
}
inline bool HandleValue(rtl::TObject*, bool write, OleVariant& value, const std::string& name) {
    ++DriverState().PropertyCalls;
    DriverState().LastWrittenName = name;
    if (write)
        DriverState().Value = value;
    else
        value = DriverState().Value;
    return true;
}

// A property handler has the form of a device parameter accessor: it finds its driver behind the
// context.
inline bool HandleDeviceCount(rtl::TObject* context, bool write, OleVariant& value,
                              const std::string&) {
    if (!write) value = OleVariant(plugin::TBaseDllObj::GetBaseDll(context)->Devices->Count());
    return true;
}

inline const plugin::MethodRecord kTableA[] = {
    {u"Выбрать,Choose", 1, HandleChoose},
    {u"Включить,SwitchOn", 0, HandleNothing},
};
inline const plugin::MethodRecord kTableB[] = {
    {u"Сложить,Add", 2, HandleAdd},        {u"Код,Code", 1, HandleCode},
    {u"Ничего,Nothing", 0, HandleNothing}, {u"Сбой,Fail", 0, HandleFail},
    {u"Сбой1,Fail1", 1, HandleFail},       {u"Дубль,Both", 0, HandleNothing},
    {u"Бросок,Throw", 0, HandleThrow},     {u"Кодированный,Coded", 0, HandleCoded},
};
inline const plugin::PropertyRecord kTable1[] = {
    {u"Значение", u"Value", u"", u"", false, u"", u"", HandleValue},
    {u"Только", u"ReadOnlyProp", u"", u"", true, u"", u"", HandleValue},
    {u"УстройствоВключено", u"DeviceIsOn", u"", u"", false, u"", u"", HandleValue},
    {u"Дубль", u"Both", u"", u"", false, u"", u"", HandleValue},
    {u"Устройств", u"DeviceCount", u"", u"", true, u"", u"", HandleDeviceCount},
};

inline const com::GUID kTestDriverModelGuid = com::MakeGuid("21111111-2222-3333-4444-555555555555");

// A device whose error texts are its own, so a test can tell them from the list's.
class TTestDevice : public registry::TDeviceItem {
  public:
    using registry::TDeviceItem::TDeviceItem;
    std::string GetErrorText(std::int32_t code) const override {
        return "device text " + std::to_string(code);
    }
};

class TTestDriverList : public registry::TDevicesList {
  public:
    explicit TTestDriverList(rtl::TCollectionItemClass itemClass)
        : registry::TDevicesList(itemClass) {
        ModelList().RegisterBaseModel(kTestDriverModelGuid, u"Тестовый драйвер", 1, 1, 1, 1, 0, u"",
                                      u"ТестДрайвер", u"Сканер", u"Сканеры", nullptr);
        static const registry::TParamDefRow rows[] = {
            {u"HookPref", u"Prefix", u"Префикс", u"String", 0, u"+++", u"Префикс", nullptr},
        };
        RegisterParams(rows);
    }
    std::string GetErrorText(std::int32_t code) const override {
        return "list text " + std::to_string(code);
    }
    std::string DriverIdentifier() const override { return "Quill.TestDriver"; }
    void AllDevicesReleased() override { ++Released; }
    int Released = 0;
};

class TTestDriver : public plugin::TBaseDllObj {
  public:
    TTestDriver()
        : plugin::TBaseDllObj(kTableA, kTableB, kTable1, rtl::ItemClassOf<TTestDevice>,
                              plugin::ListClassOf<TTestDriverList>, &plugin::CallEntry) {}
    TTestDriverList& List() { return static_cast<TTestDriverList&>(*Devices); }
    registry::TDeviceItem* NewDevice() {
        return static_cast<registry::TDeviceItem*>(Devices->Add());
    }
};

// Installs a test driver as the library's driver object for the life of the object.
class ScopedTestDriver {
  public:
    ScopedTestDriver() : FSaved(plugin::DllObject) {
        DriverState() = TestDriverState();
        plugin::DllObject = &Driver;
    }
    ~ScopedTestDriver() { plugin::DllObject = FSaved; }
    ScopedTestDriver(const ScopedTestDriver&) = delete;
    ScopedTestDriver& operator=(const ScopedTestDriver&) = delete;

    TTestDriver Driver;

  private:
    plugin::TBaseDllObj* FSaved;
};

// A host's event sink: counts its references and the value arrays it made; its value arrays are
// the library's own.
class TTestEventSink : public TEventSupportBase {
  public:
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (!object) return com::E_POINTER;
        if (iid == com::IUnknown::Guid || iid == IEventSupport::Guid ||
            iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            AddRef();
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    com::ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    com::HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR, GUID*) override { return 0; }
    com::HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override {
        if (!array) return com::E_POINTER;
        ++ArraysMade;
        *array = exchange::CreateValueArray().Detach();
        return com::S_OK;
    }
    com::HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override {
        if (!threadId) return com::E_POINTER;
        *threadId = 0;
        return com::S_OK;
    }
    std::atomic<com::ULONG> Refs{0};
    int ArraysMade = 0;
};

} // namespace quill::test
