// TDevicesList: the device items of one driver object, with the driver's model description.
//
// The list owns its devices (each a counted interface item, see TDeviceItem: a device that
// leaves the list is detached, so host references stay valid), the registered-model list with
// the parameter definitions every new device copies, optionally the model list read from the
// host's settings, the settings text last loaded, and a current device used by the driver
// methods that address a device by position or identifier. Devices are found by GUID through a
// hash index kept in step with the collection, so loading many devices stays linear.
//
// Lookups that find nothing return nil, -1 or 3 and raise nothing. A settings text that cannot be
// parsed, or a failing device load, raises to the caller; an operation that would have added a
// device leaves none behind when it fails.
//
// Threads: a host may call from any thread (the creating thread and each device's are recorded
// for RemoveThreadDevices), while the keyboard capture uses the list on the host's user-interface
// thread. The list, its devices and the capture are therefore used only under the list's one
// lock (Use()): every entry from a host — the driver's dispatch, the device and model interfaces,
// the model-list operations below — and the capture's hook and timer take it, so no device is
// ever freed or changed under another thread. The lock is recursive: a host that re-enters from
// its event call on the same thread goes on. The operations themselves take no lock; callers
// inside the library hold it already.
#pragma once

#include "infra/root/root_collection.h"
#include "registry/device/device_item.h"
#include "registry/device/device_snapshot.h"
#include "registry/models/driver_info.h"
#include "registry/models/model_list_owner.h"
#include "registry/models/model_plu_item.h"
#include "registry/models/model_plu_list.h"
#include "registry/device/param_def.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quill::exchange {
class TModelList;
}

namespace quill::registry {

class TDevicesList : public infra::TRootCollection, public TModelListOwner {
  public:
    // `itemClass` creates the devices (TDeviceItem or a descendant).
    explicit TDevicesList(rtl::TCollectionItemClass itemClass);
    ~TDevicesList() override;
    std::string_view ClassName() const override { return "TDevicesList"; }

    // Virtual operations, in slot order.
    virtual TDeviceItem* GetItem(int index) const;
    virtual void SetCurrent(std::int32_t position) { FCurrent = position; }
    virtual std::string GetErrorText(std::int32_t code) const;
    virtual void UnnamedHook5(const com::VARIANT&) {}
    virtual void RegisterParams(std::span<const TParamDefRow> rows);
    virtual void AllDevicesReleased() {}
    virtual std::int32_t SelectDevice(const com::VARIANT& key);

    void SetParamDefault(std::string_view name, const com::VARIANT& value, bool readOnly);
    TPropList& ModelParamDefs() const;
    // Copies the registered model's parameter definitions into a new device's list.
    void CopyModelParams(TPropList& target) const;

    TDeviceItem* FindByGuid(const com::GUID& guid) const;
    bool HasGuid(const com::GUID& guid) const { return FindByGuid(guid) != nullptr; }
    TDeviceItem* FindByIdentifier(std::string_view text) const;
    std::string ProposeIdentifier(std::string_view except) const;
    std::string CurrentIdentifier() const;
    void SetCurrentIdentifier(std::string_view text);
    void SwitchAllOff();
    void ClearAll();
    void RemoveThreadDevices();

    // The device of the settings, created or found and loaded; `intf` receives its interface.
    void AddOrFindDevice(const com::VARIANT& settings, com::ComPtr<IDeviceItem>& intf);
    void InsertDevice(const com::VARIANT& settings, com::ComPtr<IDeviceItem>& intf);
    void FindDevice(const com::VARIANT& settings, com::ComPtr<IDeviceItem>& intf);
    std::int32_t CloseDevice(const com::GUID& guid) override;
    std::int32_t AddDeviceWithDialog(com::OleVariant& settings, bool showDialog);
    std::int32_t ShowDeviceSettings(const com::GUID& guid);
    void LoadList(const com::VARIANT& settings);
    // `key`: a UTF-16 GUID text gives that device's settings document (results::DeviceNotFound
    // when there is none); any other key gives the "EquList" document of every device.
    std::int32_t GetDeviceSettings(const com::VARIANT& key, com::OleVariant& result);
    // The same for an 8-bit key: a GUID text (the empty text is the null GUID) or else a device
    // identifier; DeviceNotFound when no device matches.
    std::int32_t GetDeviceSettings(std::string_view key, com::OleVariant& result);
    void LoadModelList(const com::VARIANT& settings);
    void ReadColours(const com::VARIANT& settings);

    // The registered model's texts the devices use.
    std::u16string ModelName() const;
    std::u16string InstancePrefix() const;
    std::u16string EquipmentClass() const;

    int DeviceCount() const { return Count(); }
    const TDriverInfo& DriverInfo() const { return *FDriverInfo; }
    // The same record, shared by the devices created while it is current.
    const std::shared_ptr<const TDriverInfo>& SharedDriverInfo() const { return FDriverInfo; }
    TModelPluList& ModelList() const { return *FModelList; }
    exchange::TModelList* HostModels() const { return FModels.get(); }
    // Kept in step by the devices: a changed GUID or identifier, a device leaving.
    void GuidChanged(TDeviceItem* device, const com::GUID& previous);
    void IdentifierChanged(const std::string& previous, const std::string& current);
    void Unindex(TDeviceItem* device);

    // The driver object that owns this list (borrowed; nil for a list without one). The model
    // interfaces hand it out as the driver's IDllObject.
    void SetDriverObject(IDllObject* driver) { FDriverObject = driver; }
    IDllObject* DriverObject() const { return FDriverObject; }

    // TModelListOwner: what the model interface forwards to the device list. GetDllInterface
    // raises the coded error 20058 for a list without a driver object.
    void GetDllInterface(IDllObject** object) override;
    void AddOrFindDevice(const com::VARIANT& settings, IDeviceItem** device) override;
    void FindDevice(const com::VARIANT& settings, IDeviceItem** device) override;
    void InsertDevice(const com::VARIANT& settings, IDeviceItem** device) override;
    void SetSettingsText(std::u16string_view text) override;
    void SetDriverInfo(const TDriverInfo& info) override {
        FDriverInfo = std::make_shared<const TDriverInfo>(info);
    }

    // The one lock of the list, its devices and the capture (see the head of this file). Devices
    // share it, so a device that a host still holds after the list is gone keeps a valid lock.
    using TUseLock = std::recursive_mutex;
    [[nodiscard]] std::unique_lock<TUseLock> Use() const { return std::unique_lock(*FUseLock); }
    const std::shared_ptr<TUseLock>& UseLock() const override { return FUseLock; }

    // The description of a driver that has registered no model: name "Unknown", the maker texts.
    static TDriverInfo DefaultDriverInfo();

    // The identifier of the driver (its ProgID) that names the driver object's instance mutex;
    // empty for the generic list.
    virtual std::string DriverIdentifier() const { return {}; }

    // The number of the current device (1 for the first; 0 or out of range: none).
    std::int32_t Current() const { return FCurrent; }
    std::int32_t PropertyPageEnabled() const { return FPropertyPageEnabled; }
    void SetPropertyPageEnabled(std::int32_t value) { FPropertyPageEnabled = value; }
    // The settings text the host handed over last (Windows-1251).
    const std::string& SettingsText() const { return FSettingsText; }

  protected:
    void Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) override;

  private:
    // A new device of the item class at `index` (-1: at the end).
    TDeviceItem* NewDevice(int index);
    // Loads `settings` into a device that was just created, removing it again on failure.
    void LoadNewDevice(TDeviceItem* device, const com::VARIANT& settings);
    TDeviceItem* LookUpSettingsDevice(const com::VARIANT& settings);
    // LoadList's devices: each "Устройство" element loaded into the device of its GUID, or a new
    // one. Records the devices it creates and, before it first changes an existing one, a
    // snapshot of it.
    void LoadDevices(const xml::XmlNode& root, std::vector<TDeviceItem*>& created,
                     std::vector<std::pair<TDeviceItem*, TDeviceSnapshot>>& changed);
    // A document whose root "EquList" holds a copy of every device's settings, in index order.
    std::int32_t AllDeviceSettings(com::OleVariant& result) const;

    std::shared_ptr<TUseLock> FUseLock = std::make_shared<TUseLock>();
    std::unique_ptr<exchange::TModelList> FModels;
    std::shared_ptr<const TDriverInfo> FDriverInfo;
    std::unique_ptr<TModelPluList> FModelList;
    IDllObject* FDriverObject = nullptr; // borrowed: the driver object owns the list
    std::int32_t FCurrent = 0;
    std::int32_t FPropertyPageEnabled = 0;
    std::string FSettingsText;
    std::uint32_t FCreatorThread = 0;
    // The number in "<prefix><number>" of an identifier (1 to 10000, ignoring case), or 0.
    static int InstanceNumber(std::string_view identifier, std::string_view prefix);

    std::unordered_multimap<com::GUID, TDeviceItem*, com::GuidHash> FByGuid;
    // How many devices carry each identifier (upper-cased), and the lowest instance number that
    // may be free for FHintPrefix: every "<FHintPrefix><i>" below it is taken. The current model,
    // and with it the prefix, changes when the host's models load; the hint starts afresh then.
    std::unordered_map<std::string, int> FIdentifiers;
    mutable int FFreeHint = 1;
    mutable std::string FHintPrefix;
};

} // namespace quill::registry
