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

// The call entry and its guarded form: (parameter block, context object) -> result flag.
using CallEntryFunc = bool (*)(TParams* params, rtl::TObject* context);

class IPluginControl;

extern "C" {
using QueryFunc = std::uint32_t (*)();
using PluginControlFunc = void (*)(IPluginControl** control);
using BeforeFreeLibraryFunc = void (*)();
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
    virtual HRESULT Reserved1(std::int32_t value) = 0;
    virtual HRESULT Reserved2(std::int32_t value) = 0;
    virtual HRESULT GetCallEntry(CallEntryFunc* entry) = 0;
    virtual HRESULT GetDllInterface(IDllObject** object) = 0;
    virtual HRESULT SetApplication(std::int32_t ignored) = 0;

  protected:
    ~IPluginControl() = default;
};

class IDllObject : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("07573EC1-327D-47C7-8B5F-13C6298FBC2F");
    virtual HRESULT GetLibraryPath(BSTR* path) = 0;
    virtual HRESULT GetVersion(BSTR* version) = 0;
    virtual HRESULT GetBuild(std::uint16_t* build) = 0;
    virtual HRESULT GetDriverKind(std::int32_t* kind) = 0;
    virtual HRESULT GetInterfaceLevel(std::int32_t* level) = 0;
    // The model at `index` as IPluModel2, or nil with success past the last model.
    virtual HRESULT GetModel(std::int32_t index, IPluModel** model) = 0;
    virtual HRESULT SetOption(std::int32_t option) = 0;
    // The host's event sink (queried for IEventSupport2); nil drops it.
    virtual HRESULT SetEventSupport(IUnknown* sink) = 0;
    virtual HRESULT GetMemberCheck(IDllMemberCheck** check) = 0;

  protected:
    ~IDllObject() = default;
};

class IDllMemberCheck : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("BAB8C117-CADF-4C73-9B2D-B042D637A748");
    virtual bool IsProperty(BSTR name) = 0;
    virtual bool IsMethod(BSTR name) = 0;
    virtual bool IsStandardMethod(BSTR name) = 0;
    virtual bool IsSwitchOn(BSTR name) = 0;
    virtual bool IsSwitchOff(BSTR name) = 0;

  protected:
    ~IDllMemberCheck() = default;
};

// The host's event sink. The library calls operations 5, 21 and 22 only; the others keep the
// slots in line with the host's declaration.
class IEventSupport : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("761D2911-3335-478B-A481-81BC22AA963F");
    virtual HRESULT Reserved01() = 0;
    virtual HRESULT Reserved02() = 0;
    virtual HRESULT Reserved03() = 0;
    virtual HRESULT Reserved04() = 0;
    // 5: raise an external event (source, event name, data) for the device `deviceGuid`.
    virtual HRESULT ExternalEvent(BSTR source, BSTR event, BSTR data, GUID* deviceGuid) = 0;
    virtual HRESULT Reserved06() = 0;
    virtual HRESULT Reserved07() = 0;
    virtual HRESULT Reserved08() = 0;
    virtual HRESULT Reserved09() = 0;
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Reserved11() = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13() = 0;
    virtual HRESULT Reserved14() = 0;
    virtual HRESULT Reserved15() = 0;
    virtual HRESULT Reserved16() = 0;
    virtual HRESULT Reserved17() = 0;
    virtual HRESULT Reserved18() = 0;
    virtual HRESULT Reserved19() = 0;
    virtual HRESULT Reserved20() = 0;
    // 21: a new value-array object (answers the late-bound calls of the value array).
    virtual HRESULT CreateValueArray(IDispatch** array) = 0;
    // 22: the id of the host thread on which the keyboard hook is installed.
    virtual HRESULT GetHookThreadId(std::uint32_t* threadId) = 0;

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
    HRESULT Reserved01() override { return com::E_NOTIMPL; }
    HRESULT Reserved02() override { return com::E_NOTIMPL; }
    HRESULT Reserved03() override { return com::E_NOTIMPL; }
    HRESULT Reserved04() override { return com::E_NOTIMPL; }
    HRESULT Reserved06() override { return com::E_NOTIMPL; }
    HRESULT Reserved07() override { return com::E_NOTIMPL; }
    HRESULT Reserved08() override { return com::E_NOTIMPL; }
    HRESULT Reserved09() override { return com::E_NOTIMPL; }
    HRESULT Reserved10() override { return com::E_NOTIMPL; }
    HRESULT Reserved11() override { return com::E_NOTIMPL; }
    HRESULT Reserved12() override { return com::E_NOTIMPL; }
    HRESULT Reserved13() override { return com::E_NOTIMPL; }
    HRESULT Reserved14() override { return com::E_NOTIMPL; }
    HRESULT Reserved15() override { return com::E_NOTIMPL; }
    HRESULT Reserved16() override { return com::E_NOTIMPL; }
    HRESULT Reserved17() override { return com::E_NOTIMPL; }
    HRESULT Reserved18() override { return com::E_NOTIMPL; }
    HRESULT Reserved19() override { return com::E_NOTIMPL; }
    HRESULT Reserved20() override { return com::E_NOTIMPL; }

  protected:
    ~TEventSupportBase() = default;
};

// A device instance as the host holds it.
class IDeviceItem : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("6B1F0C52-3A57-4E8B-9C1D-2F4A7E5B9D31");
    // -1 when the device is switched on, else 0.
    virtual HRESULT GetEnabled(std::int16_t* enabled) = 0;
    // The settings dialog: 0 accepted, -1 cancelled.
    virtual HRESULT Setup(std::int32_t* result) = 0;
    // The device's settings document (VT_DISPATCH).
    virtual HRESULT GetSettings(VARIANT* settings) = 0;
    // Detaches the device from its list; it is freed when the host releases it.
    virtual HRESULT Close(std::int32_t* result) = 0;

  protected:
    ~IDeviceItem() = default;
};

// A model the driver serves. IPluModel2 has the same method table under another identifier.
class IPluModel : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("70231714-9996-413C-BFBB-F504227138B8");
    virtual HRESULT GetId(GUID* id) = 0;
    virtual HRESULT GetIdentifier(BSTR* identifier) = 0;
    virtual HRESULT GetName(BSTR* name) = 0;
    virtual HRESULT GetEquipmentClass(BSTR* equipmentClass) = 0;
    virtual HRESULT GetEquipmentClassName(BSTR* name) = 0;
    virtual HRESULT GetNumber1(std::int32_t* value) = 0;
    virtual HRESULT GetNumber2(std::int32_t* value) = 0;
    virtual HRESULT GetNumber3(std::int32_t* value) = 0;
    virtual HRESULT GetNumber4(std::int32_t* value) = 0;
    virtual HRESULT GetUsesPlatform(std::int32_t* value) = 0;
    virtual HRESULT GetParametersText(BSTR* text) = 0;
    virtual HRESULT GetReservedNumber(std::int32_t* value) = 0;
    virtual HRESULT GetReservedInterface(std::int32_t ignored, IUnknown** object) = 0;
    virtual HRESULT NoOp1() = 0;
    virtual HRESULT NoOp2() = 0;
    virtual HRESULT GetDllInterface(IDllObject** object) = 0;
    virtual HRESULT GetModelDocument(VARIANT* document) = 0;
    virtual HRESULT CreateDevice(const VARIANT* settings, IDeviceItem** device) = 0;
    virtual HRESULT RemoveDevice(const GUID* id, std::int32_t* result) = 0;
    virtual HRESULT SetSettings(const VARIANT* settings) = 0;
    virtual HRESULT FindDevice(const VARIANT* settings, IDeviceItem** device) = 0;
    virtual HRESULT AddDevice(const VARIANT* settings, IDeviceItem** device) = 0;

  protected:
    ~IPluModel() = default;
};
constexpr GUID IID_IPluModel2 = MakeGuid("D8EB2570-D5AB-4357-86E6-6064DBDD7523");

// The value array: a two-dimensional table of variants, also reachable by name through IDispatch.
class ISafeArray : public IDispatch {
  public:
    static constexpr GUID Guid = MakeGuid("C71ED758-08C7-4ACB-9497-120FDBCFDD21");
    virtual HRESULT SetBounds(std::int32_t rows, std::int32_t columns) = 0;
    virtual HRESULT SetValue(std::int32_t row, std::int32_t column, VARIANT value) = 0;
    virtual HRESULT GetPSA(SAFEARRAY** array) = 0;
    virtual HRESULT ElementType(std::int32_t* type) = 0;
    virtual HRESULT Empty(std::int32_t* empty) = 0;
    virtual HRESULT SetPSA(SAFEARRAY* array) = 0;
    virtual HRESULT SetPSAOfType(SAFEARRAY* array, std::int32_t elementType) = 0;
    virtual HRESULT GetBounds(std::int32_t* rows, std::int32_t* columns) = 0;
    virtual HRESULT SaveToFile(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT LoadFromFile(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT LoadFromFileAsStream(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT SaveToFileAsStream(BSTR fileName, std::int16_t* ok) = 0;
    virtual HRESULT GetValue(std::int32_t row, std::int32_t column, VARIANT* value) = 0;

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
