// The public host header of the Quill plug-in.
//
// Everything a host needs to load Quill.plu and work with it, and nothing more: the signatures of
// the three exports and of the call entry, the shared Query mask, the interfaces in slot order
// with their identifiers, and the layout of the host task objects that may accompany a call. A
// host includes this header, links the shared run-time (libquillrt) for the common types
// (TParams, VARIANT, BSTR, the coded exceptions) and loads the plug-in with dlopen. It includes
// only headers made for hosts: the run-time's platform types and the boundary classes beside it.
//
// Interface methods never throw: they return an HRESULT (0 on success) and leave the message of a
// failure in the calling thread's error information (com::GetErrorInfo). The values fixed here are
// shared with hosts and never change.
#pragma once

#include "platform/com/com_safearray.h"
#include "platform/com/dispatch.h"
#include "platform/rtl/object.h"
#include "quill/coded_exception.h"
#include "quill/params.h"

#include <cstdint>
#include <cstring>

namespace quill {

using com::BSTR;
using com::GUID;
using com::HRESULT;
using com::IDispatch;
using com::IUnknown;
using com::MakeGuid;
using com::SAFEARRAY;
using com::VARIANT;
using exchange::TParams;

// ---- Exports ----

// The exports, the call entry and its guarded form use the system's calling convention (WINAPI:
// stdcall on 32-bit Windows, as the host calls them). The call entry: (parameter block, context
// object) -> result flag.
using CallEntryFunc = bool(WINAPI*)(TParams* params, rtl::TObject* context);

class IPluginControl;

extern "C" {
using QueryFunc = std::uint32_t(WINAPI*)();
using PluginControlFunc = void(WINAPI*)(IPluginControl** control);
using BeforeFreeLibraryFunc = void(WINAPI*)();
}

// The 32-bit mask that Query combines with the distance to the guarded call entry.
constexpr std::uint32_t QueryMask = 0x51C7A9E3u;

// Recovers the guarded call entry from the address of Query and its result: the 32-bit distance
// Query - GuardedCallEntry is undone as a signed value, so either order of the two in memory works.
inline CallEntryFunc GuardedCallEntryFromQuery(QueryFunc query) {
    const std::int32_t distance = static_cast<std::int32_t>(query() ^ QueryMask);
    const auto address = reinterpret_cast<std::intptr_t>(query) - distance;
    return reinterpret_cast<CallEntryFunc>(address);
}

// With 32-bit code addresses the locator holds the whole distance; with 64-bit ones it holds it
// while the two functions lie within 2 GiB of each other, as they do inside one module.
static_assert(sizeof(void*) == 8 || sizeof(QueryFunc) == sizeof(std::uint32_t));

// ---- Fixed identifiers chosen for this driver ----

// The keyboard-scanner model of this driver.
constexpr GUID ScannerModelGuid = MakeGuid("3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7");
// The class identifier of the value array ("SafeArray" class of the type library).
constexpr GUID ValueArrayClassGuid = MakeGuid("A4D2B7E9-5C31-4E6F-8B90-1D2C3E4F5061");

// ---- Interfaces, in slot order ----

class IDllObject;
class IDllMemberCheck;
class IPluModel;
class IDeviceItem;

class IPluginControl : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("5840E4CB-F596-489A-BCD0-66F4D4311253");
    virtual HRESULT STDMETHODCALLTYPE Reserved1(std::int32_t value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2(std::int32_t value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCallEntry(CallEntryFunc* entry) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDllInterface(IDllObject** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetApplication(std::int32_t ignored) = 0;

  protected:
    ~IPluginControl() = default;
};

class IDllObject : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("07573EC1-327D-47C7-8B5F-13C6298FBC2F");
    virtual HRESULT STDMETHODCALLTYPE GetLibraryPath(BSTR* path) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBuild(std::uint16_t* build) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDriverKind(std::int32_t* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInterfaceLevel(std::int32_t* level) = 0;
    // The model at `index` as IPluModel2, or nil with success past the last model.
    virtual HRESULT STDMETHODCALLTYPE GetModel(std::int32_t index, IPluModel** model) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOption(std::int32_t option) = 0;
    // The host's event sink (queried for IEventSupport2); nil drops it.
    virtual HRESULT STDMETHODCALLTYPE SetEventSupport(IUnknown* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMemberCheck(IDllMemberCheck** check) = 0;

  protected:
    ~IDllObject() = default;
};

class IDllMemberCheck : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("BAB8C117-CADF-4C73-9B2D-B042D637A748");
    virtual bool STDMETHODCALLTYPE IsProperty(BSTR name) = 0;
    virtual bool STDMETHODCALLTYPE IsMethod(BSTR name) = 0;
    virtual bool STDMETHODCALLTYPE IsStandardMethod(BSTR name) = 0;
    virtual bool STDMETHODCALLTYPE IsSwitchOn(BSTR name) = 0;
    virtual bool STDMETHODCALLTYPE IsSwitchOff(BSTR name) = 0;

  protected:
    ~IDllMemberCheck() = default;
};

// The host's event sink. The library calls operations 5, 21 and 22 only; the others keep the
// slots in line with the host's declaration.
class IEventSupport : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("761D2911-3335-478B-A481-81BC22AA963F");
    virtual HRESULT STDMETHODCALLTYPE Reserved01() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved02() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved03() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved04() = 0;
    // 5: raise an external event (source, event name, data) for the device `deviceGuid`.
    virtual HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR event, BSTR data,
                                                    GUID* deviceGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved06() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved07() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved08() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved09() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0;
    // 21: a new value-array object (answers the late-bound calls of the value array).
    virtual HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) = 0;
    // 22: the id of the host thread on which the keyboard hook is installed.
    virtual HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) = 0;

  protected:
    ~IEventSupport() = default;
};

class IEventSupport2 : public IEventSupport {
  public:
    static constexpr GUID Guid = MakeGuid("761D2911-3335-478B-A481-81BC22AA9640");

  protected:
    ~IEventSupport2() = default;
};

// A base for an event sink that answers every operation the library never calls with E_NOTIMPL;
// the host implements IUnknown and operations 5, 21 and 22.
class TEventSupportBase : public IEventSupport2 {
  public:
    HRESULT STDMETHODCALLTYPE Reserved01() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved02() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved03() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved04() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved06() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved07() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved08() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved09() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved16() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved17() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved18() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved19() override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved20() override { return com::E_NOTIMPL; }

  protected:
    ~TEventSupportBase() = default;
};

// A device instance as the host holds it.
class IDeviceItem : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("6B1F0C52-3A57-4E8B-9C1D-2F4A7E5B9D31");
    // -1 when the device is switched on, else 0.
    virtual HRESULT STDMETHODCALLTYPE GetEnabled(std::int16_t* enabled) = 0;
    // The settings dialog: 0 accepted, -1 cancelled.
    virtual HRESULT STDMETHODCALLTYPE Setup(std::int32_t* result) = 0;
    // The device's settings document (VT_DISPATCH).
    virtual HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* settings) = 0;
    // Detaches the device from its list; it is freed when the host releases it.
    virtual HRESULT STDMETHODCALLTYPE Close(std::int32_t* result) = 0;

  protected:
    ~IDeviceItem() = default;
};

// A model the driver serves. IPluModel2 has the same method table under another identifier.
class IPluModel : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("70231714-9996-413C-BFBB-F504227138B8");
    virtual HRESULT STDMETHODCALLTYPE GetId(GUID* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIdentifier(BSTR* identifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEquipmentClass(BSTR* equipmentClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEquipmentClassName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumber1(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumber2(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumber3(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumber4(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUsesPlatform(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParametersText(BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReservedNumber(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReservedInterface(std::int32_t ignored,
                                                           IUnknown** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE NoOp1() = 0;
    virtual HRESULT STDMETHODCALLTYPE NoOp2() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDllInterface(IDllObject** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetModelDocument(VARIANT* document) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(const VARIANT* settings,
                                                   IDeviceItem** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveDevice(const GUID* id, std::int32_t* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSettings(const VARIANT* settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindDevice(const VARIANT* settings, IDeviceItem** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDevice(const VARIANT* settings, IDeviceItem** device) = 0;

  protected:
    ~IPluModel() = default;
};
constexpr GUID IID_IPluModel2 = MakeGuid("D8EB2570-D5AB-4357-86E6-6064DBDD7523");

// The value array: a two-dimensional table of variants, also reachable by name through IDispatch.
class ISafeArray : public IDispatch {
  public:
    static constexpr GUID Guid = MakeGuid("C71ED758-08C7-4ACB-9497-120FDBCFDD21");
    virtual HRESULT STDMETHODCALLTYPE SetBounds(std::int32_t rows, std::int32_t columns) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValue(std::int32_t row, std::int32_t column,
                                               VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPSA(SAFEARRAY** array) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementType(std::int32_t* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE Empty(std::int32_t* empty) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPSA(SAFEARRAY* array) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPSAOfType(SAFEARRAY* array, std::int32_t elementType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBounds(std::int32_t* rows, std::int32_t* columns) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFile(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromFileAsStream(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFileAsStream(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(std::int32_t row, std::int32_t column,
                                               VARIANT* value) = 0;

  protected:
    ~ISafeArray() = default;
};

// ---- Host task objects ----

// A task object of the host that may accompany a call. The library relies on three things of it:
// its class name ("TInternalTask" or "TTaskThread"), the 16-byte GUID of the device the call is
// for at byte offset 124, and a pointer-sized slot at byte offset 140 into which the dispatch
// writes the driver object reference. The offsets hold with 32-bit and 64-bit pointers alike; the
// slot is unaligned on 64-bit platforms and is therefore read and written with memcpy.
class THostTask : public rtl::TObject {
  public:
    static constexpr std::size_t DeviceGuidOffset = 124;
    static constexpr std::size_t DriverSlotOffset = 140;
    static constexpr std::size_t Size = DriverSlotOffset + sizeof(void*);

    THostTask() { std::memset(FData, 0, sizeof FData); }

    GUID DeviceGuid() const {
        GUID g;
        std::memcpy(&g, Bytes() + DeviceGuidOffset, sizeof g);
        return g;
    }
    void SetDeviceGuid(const GUID& g) { std::memcpy(Bytes() + DeviceGuidOffset, &g, sizeof g); }
    void* DriverSlot() const {
        void* p;
        std::memcpy(&p, Bytes() + DriverSlotOffset, sizeof p);
        return p;
    }
    void SetDriverSlot(void* p) { std::memcpy(Bytes() + DriverSlotOffset, &p, sizeof p); }

  private:
    const unsigned char* Bytes() const { return reinterpret_cast<const unsigned char*>(this); }
    unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(this); }
    unsigned char FData[Size - sizeof(rtl::TObject)];
};
// The same offsets with 32-bit and 64-bit pointers: the fields follow the object header either way,
// and the slot widens in place (4 bytes with 32-bit pointers, 8 with 64-bit ones).
static_assert(THostTask::DeviceGuidOffset == 124 && THostTask::DriverSlotOffset == 140);
static_assert(sizeof(rtl::TObject) <= THostTask::DeviceGuidOffset);
static_assert(THostTask::Size == (sizeof(void*) == 8 ? 148 : 144));
static_assert(sizeof(THostTask) >= THostTask::Size);

// The class names by which the library recognises host task objects.
constexpr const char* TaskClassNames[] = {"TInternalTask", "TTaskThread"};
inline bool IsHostTask(const rtl::TObject* object) {
    return object && (object->ClassNameIs("TInternalTask") || object->ClassNameIs("TTaskThread"));
}

} // namespace quill
