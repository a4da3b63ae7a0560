// TModelListOwner: what the model list and its model interfaces need from the device list that
// owns them.
//
// The host asks a model (IPluModel) for the driver object and for devices of the model; those
// requests are the device list's. The device list implements this class and hands itself to its
// model list; a model list without an owner (or a model that has left its list) fails such
// requests with the coded error 20058 (no driver object). Every operation may raise; the model
// interface turns failures into failure results. The model interfaces take the owner's lock
// (UseLock) around each operation, so a host may call them from any thread.
#pragma once

#include "quill/host.h"
#include "registry/models/driver_info.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

namespace quill::registry {

class TModelListOwner {
  public:
    // The driver object's interface, as the plug-in control hands it out.
    virtual void GetDllInterface(IDllObject** object) = 0;
    // The device for `settings`, found by its code or newly added (models load first).
    virtual void AddOrFindDevice(const com::VARIANT& settings, IDeviceItem** device) = 0;
    // The device for `settings`, or nil (models load first).
    virtual void FindDevice(const com::VARIANT& settings, IDeviceItem** device) = 0;
    // A new device at position 0 set up from `settings` (models load first).
    virtual void InsertDevice(const com::VARIANT& settings, IDeviceItem** device) = 0;
    // Detaches and releases the device with this GUID: 0, or -1 when there is none.
    virtual std::int32_t CloseDevice(const com::GUID& id) = 0;
    // Stores the settings text that the host hands over.
    virtual void SetSettingsText(std::u16string_view text) = 0;
    // Takes the driver description that the base model registration brings.
    virtual void SetDriverInfo(const TDriverInfo& info) = 0;
    // The one lock of the owner's devices and models. Shared: a model that a host still holds
    // after the owner is gone keeps a valid lock.
    virtual const std::shared_ptr<std::recursive_mutex>& UseLock() const = 0;

  protected:
    ~TModelListOwner() = default;
};

} // namespace quill::registry
