// TDeviceItem: one configured device instance of a driver.
//
// A device has a unique GUID, an identifier chosen by the user, its parameters (a property list
// that starts as a copy of the model's parameter definitions, every value at its default), a
// switched-on state and the result code of its last operation. It lives in a device list
// (TDevicesList), which creates it, and is also handed to the host as the counted interface
// IDeviceItem: the list holds the first reference, every host reference adds one, and a device
// that leaves the list (Close, the list's clearing or destruction) is detached, not freed, so an
// interface the host still holds stays valid until the host releases it.
//
// Parameters are found by name or second name, ignoring case. Texts are stored with their line
// breaks escaped as backslash-n and decoded on reading, except for texts that look like paths.
// Integer and float reads of a text that is no number raise rtl::EConvertError. SetState never
// raises for a refused switch-on: the device stays off and keeps the error code.
//
// Not thread-safe: a device is used on the thread that calls the driver; only the interface
// reference count is atomic.
#pragma once

#include "infra/root/root_collection.h"
#include "platform/xml/dom.h"
#include "quill/host.h"
#include "registry/models/driver_info.h"
#include "registry/device/param_def.h"
#include "registry/models/prop_list.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace quill::registry {

class TDevicesList;

class TDeviceItem : public infra::TRootCollectionItem, public IDeviceItem {
  public:
    // Joins `list` (a TDevicesList); see Algorithms of creation in the .cpp.
    explicit TDeviceItem(rtl::TCollection* list);
    // A device still in its list leaves the list's indexes first.
    ~TDeviceItem() override;
    std::string_view ClassName() const override { return "TDeviceItem"; }

    QUILL_FORWARD_IUNKNOWN(infra::TRootCollectionItem)

    // IDeviceItem: a host may call from any thread; each takes the list's lock (devices_list.h).
    HRESULT STDMETHODCALLTYPE GetEnabled(std::int16_t* enabled) override;
    HRESULT STDMETHODCALLTYPE Setup(std::int32_t* result) override;
    HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* settings) override;
    HRESULT STDMETHODCALLTYPE Close(std::int32_t* result) override;

    // Virtual operations, in slot order.
    virtual std::string ParamNameOf(const TParamDefRow& row) const;
    virtual void AfterDriverInfo();
    // Detaches the item from its list (once) and drops the list's reference.
    virtual void CloseItem();
    virtual std::int32_t AfterLoad();
    virtual std::int32_t ShowSettings();
    virtual void UnnamedHook6() {}
    virtual std::int32_t GetState() const;
    virtual void SetState(std::int32_t on);
    virtual bool DoOpen();
    virtual bool DoClose();
    virtual std::int32_t ApplyExtraParams();
    virtual void UnnamedHook12(std::int32_t) {}
    virtual std::int32_t UnnamedHook13(std::int32_t) { return 0; }
    virtual std::int32_t CheckOpened();
    virtual bool CheckOpenedCode(std::int32_t& code);
    virtual std::string GetParamStr(std::string_view name) const;
    virtual void SetParamStr(std::string_view name, std::string_view text);
    // The parameter array: [column, row] with columns 0..7; returns -1.
    virtual std::int32_t GetParamArray(com::OleVariant& array) const;
    virtual std::int32_t FixedCode() const { return 1003; }
    virtual bool GetParamBoolById(const TParamDefRow& row) const;
    virtual std::int32_t GetParamIntById(const TParamDefRow& row) const;
    virtual std::int64_t GetParamCurrencyById(const TParamDefRow& row) const;
    virtual double GetParamFloatById(const TParamDefRow& row) const;
    virtual std::string GetParamStrById(const TParamDefRow& row) const;
    virtual long double GetParamExtById(const TParamDefRow& row) const;
    virtual void SetParamById(const TParamDefRow& row, const com::VARIANT& value);
    virtual std::string GetErrorText(std::int32_t code) const;

    // Non-virtual operations.
    bool GetParamBool(std::string_view name) const;
    double GetParamFloat(std::string_view name) const;
    std::int32_t GetParamInt(std::string_view name) const;
    void SetParamInt(std::string_view name, std::int32_t value);
    void SetError(std::int32_t code) { FErrorCode = code; }
    TDevicesList* OwnerList() const;
    // GUID and identifier change only through these, which keep the list's indexes in step.
    const com::GUID& Guid() const { return FGuid; }
    void SetGuid(const com::GUID& guid);
    const std::string& Identifier() const { return FIdentifier; }
    void SetIdentifier(std::string text);
    void SetCallContext(rtl::TObject* context) { FCallContext = context; }
    void FillDriverInfo();
    std::int32_t ApplyExtraParamList(const std::vector<std::pair<std::string, std::string>>* list);
    void CollectExtraParams(std::vector<std::pair<std::string, std::string>>&) const {}

    // Settings exchange (device_settings.cpp).
    // The settings document: root "Устройство" with "Код", "КодМодели", "Наименование",
    // "КодТо4киДоступа" and the "Параметры" of the device.
    com::OleVariant BuildSettingsDocument() const;
    // Loads a settings text (VT_BSTR) or document node (VT_DISPATCH); other values change nothing.
    std::int32_t LoadDeviceSettings(const com::VARIANT& settings);
    // Whether the document of `node` is in the older layout: some "ComPort" or "Дополнительно"
    // element anywhere in it has child nodes. The test looks at the whole document, so a caller
    // that loads many devices from one document makes it once.
    static bool IsOlderLayout(const xml::XmlNode& node);
    // Loads one "Устройство" element in the layout given; returns AfterLoad.
    std::int32_t LoadDeviceElement(const xml::XmlNode& element, bool olderLayout);

    // Rows added by a settings load take their description from the host's model of the device.
    void CompleteRowsFromHostModel();
    // The parameter table: a value array of (parameters + 1) rows and 7 columns, made by the
    // device's event sink when it has one. Returns 0.
    std::int32_t GetParamTable(com::OleVariant& table) const;
    // Sets the values of a parameter table; stops with the coded error 20029 at the first row of
    // type "Число" whose value is no number (the rows before it stay applied). 4 when `table` is
    // no value array.
    std::int32_t SetParamTable(const com::VARIANT& table);
    // The row of `name` (or its second name), ignoring case; nil when there is none.
    TPropItem* FindParam(std::string_view name) const;

    // Whether the device is switched on (GetState gives it as 1 or 0).
    bool IsOn() const { return FState; }
    // The last result code of a device operation (SetError sets it).
    std::int32_t ErrorCode() const { return FErrorCode; }
    // The object of the call in progress (SetCallContext sets it), nil between calls.
    rtl::TObject* CallContext() const { return FCallContext; }
    const TDriverInfo& DriverInfo() const { return *FDriverInfo; }
    // The device's parameter rows (owned).
    TPropList& Params() const { return *FParams; }

  protected:
    void* GetInterface(com::REFIID iid) override;

  private:
    friend class TDevicesList;
    friend class TDeviceSnapshot; // saves and restores the whole state around a failed load
    bool FState = false;
    rtl::TObject* FCallContext = nullptr;
    std::int32_t FErrorCode = 0;
    // The driver's description as the list had it when the device was made; devices share it.
    std::shared_ptr<const TDriverInfo> FDriverInfo;
    std::unique_ptr<TPropList> FParams;
    std::uint32_t FCreatorThread = 0;
    // The model of the settings last loaded ("КодМодели").
    com::GUID FModelGuid = com::GUID_NULL;
    com::GUID FGuid = com::GUID_NULL;
    std::string FIdentifier;
    bool FClosing = false;
    // The lock of the list the device was made in (nil for a device made without one).
    std::shared_ptr<std::recursive_mutex> FUseLock;
    std::unique_lock<std::recursive_mutex> Use() const {
        return FUseLock ? std::unique_lock(*FUseLock) : std::unique_lock<std::recursive_mutex>();
    }
};

} // namespace quill::registry
