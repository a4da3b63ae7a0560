// TBaseDllObj: the base class of the library's driver object, which executes the host's requests.
//
// It owns the device list and the plug-in control object, carries the static tables of the
// methods and properties a host may call by name, and offers the host IDllObject (identity,
// models, event sink) and IDllMemberCheck (questions about names). A request arrives as a
// parameter block, possibly the head of a chain, with a context object: either one of the special
// requests named by the block's MethodName ("__FRee", "__Load", "__@@EventSupport",
// "__@@SwitchOff", compared exactly) or an ordinary call whose member name, call kind and
// arguments are the block's arguments 1, 2 and 3 onwards.
//
// Failures of a call escape Dispatch as coded exceptions, and the guarded call entry alone turns
// them into the block's error fields: a method's non-zero result code becomes an ECodedException
// with the device's text for it (ResultText), after the arguments and the result have been written
// back (a handler that fails as hardware, as switching does, raises EHardwareEquipmentException
// itself); the device's call context is reset and the temporary argument array freed in every
// case. Interface methods never throw. `DllObject` holds the
// library's one driver object; it is written only while the library loads and unloads.
//
// Threads: the dispatch runs on the thread of the host's call; it and the IDllObject operations
// that reach the device list hold the list's lock (devices_list.h) while they run.
#pragma once

#include "quill/params.h"
#include "infra/root/root_object.h"
#include "platform/kernel/named_mutex.h"
#include "plugin/control/plugin_control.h"
#include "plugin/driver/member_tables.h"
#include "quill/host.h"
#include "registry/list/devices_list.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quill::plugin {

// Creates the device list of a driver: (device item class) -> new list. A function object, so that
// a driver can hand its list what it was itself given (the settings dialogs' form backend).
using DevicesListClass = std::function<registry::TDevicesList*(rtl::TCollectionItemClass)>;

template <class T> registry::TDevicesList* ListClassOf(rtl::TCollectionItemClass itemClass) {
    return new T(itemClass);
}

class TBaseDllObj : public infra::TRootObject, public IDllObject, public IDllMemberCheck {
  public:
    TBaseDllObj(std::span<const MethodRecord> tableA, std::span<const MethodRecord> tableB,
                std::span<const PropertyRecord> table1, rtl::TCollectionItemClass deviceItemClass,
                DevicesListClass deviceListClass, CallEntryFunc callEntry);
    ~TBaseDllObj() override;
    std::string_view ClassName() const override { return "TBaseDllObj"; }

    // IUnknown for all three interfaces: the component's own counting (the owner frees it).
    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return infra::TRootObject::AddRef(); }
    com::ULONG STDMETHODCALLTYPE Release() override { return infra::TRootObject::Release(); }

    // IDllObject
    HRESULT STDMETHODCALLTYPE GetLibraryPath(BSTR* path) override;
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE GetBuild(std::uint16_t* build) override;
    HRESULT STDMETHODCALLTYPE GetDriverKind(std::int32_t* kind) override;
    HRESULT STDMETHODCALLTYPE GetInterfaceLevel(std::int32_t* level) override;
    HRESULT STDMETHODCALLTYPE GetModel(std::int32_t index, IPluModel** model) override;
    HRESULT STDMETHODCALLTYPE SetOption(std::int32_t option) override;
    HRESULT STDMETHODCALLTYPE SetEventSupport(IUnknown* sink) override;
    HRESULT STDMETHODCALLTYPE GetMemberCheck(IDllMemberCheck** check) override;

    // IDllMemberCheck
    bool STDMETHODCALLTYPE IsProperty(BSTR name) override;
    bool STDMETHODCALLTYPE IsMethod(BSTR name) override;
    bool STDMETHODCALLTYPE IsStandardMethod(BSTR name) override;
    bool STDMETHODCALLTYPE IsSwitchOn(BSTR name) override;
    bool STDMETHODCALLTYPE IsSwitchOff(BSTR name) override;

    // The request entry: processes the chain that starts at `params`.
    bool Dispatch(exchange::TParams* params, rtl::TObject* context);
    const MethodRecord* FindMethod(std::u16string_view name) const;
    const PropertyRecord* FindProperty(std::u16string_view name) const;
    // The device a call is for: the host task's device, else the list's current device.
    registry::TDeviceItem* CurrentDevice(rtl::TObject* context) const;
    // The text of result code `code`: the current device's, else the device list's.
    std::string ResultText(rtl::TObject* context, std::int32_t code) const;
    // The driver object behind a handler's context; raises when there is none.
    static TBaseDllObj* GetBaseDll(rtl::TObject* context);

    // Virtual operations, in slot order after the constructor.
    virtual void VariantHook(const com::VARIANT&) {}
    virtual std::int32_t DriverKind() const { return 3; }
    virtual void NoEffectHook() {}

    // Property table 2; filled by the scanner driver base.
    void SetPropertyTable2(std::span<const PropertyRecord> table2);
    // Whether the host may write property-table-1 record `index` (its own flag, or made read-only
    // by the event-support request).
    bool IsReadOnly(const PropertyRecord& record) const;
    // The Windows-1251 NameRu of a record of tables 1 or 2.
    const std::string& AnsiNameRu(const PropertyRecord& record) const;

    kernel::HANDLE InstanceMutex = nullptr;
    std::unique_ptr<registry::TDevicesList> Devices;
    std::unique_ptr<TPluginControl> PluginControl;
    std::span<const MethodRecord> MethodTableA;
    std::span<const MethodRecord> MethodTableB;
    std::span<const PropertyRecord> PropertyTable1;
    std::span<const PropertyRecord> PropertyTable2;
    std::u16string LibraryPath;
    std::uint16_t Build = 0;
    std::u16string VersionText;
    std::int32_t Option = 0;

  protected:
    void* GetInterface(com::REFIID iid) override;

  private:
    void RebuildIndex();
    void DispatchBlock(exchange::TParams& block, rtl::TObject*& context, bool& stop);
    void CallMethod(exchange::TParams& block, rtl::TObject* context, const MethodRecord& method,
                    std::u16string_view name);
    void HandleEventSupport(exchange::TParams& block);
    // The requests with two leading underscores; false for any other name.
    bool HandleSpecialRequest(std::string_view request, exchange::TParams& block);
    std::int32_t ModelPropertyIndex(const std::string& ansiName) const;

    TMemberIndex FIndex;
    // Records of property table 1 made read-only by the event-support request (the tables
    // themselves are shared static data and stay untouched).
    std::vector<bool> FMadeReadOnly;
    std::vector<std::string> FAnsiNames1, FAnsiNames2;
    // The result flag of the block being processed.
    bool FLastResult = false;
};

extern TBaseDllObj* DllObject;

} // namespace quill::plugin
