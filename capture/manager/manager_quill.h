// TManagerQuill: one configured keyboard scanner - its prefix, suffix, time-out and mode.
//
// The device item of the scanner driver. Switching it on takes the snapshots of its mode
// ("UseInterCharInterval" is 1, the low byte of "MinDataLen") and installs the keyboard hook of
// its list when none is installed; switching the last switched-on device off removes the hook.
// The prefix, suffix and time-out are read at every key, so their changes take effect at once;
// the mode takes effect at the next switch-on. ShowSettings opens the settings dialog.
//
// It is the framing's view of a device (IFramingDevice). Not thread-safe: used on the thread
// that owns the list.
#pragma once

#include "capture/framing/scan_framer.h"
#include "registry/device/device_item.h"

#include <cstdint>

namespace quill::capture {

class TManagerQuillList;

class TManagerQuill : public registry::TDeviceItem, public IFramingDevice {
public:
    explicit TManagerQuill(rtl::TCollection* list);
    std::string_view ClassName() const override { return "TManagerQuill"; }

    // The settings dialog: 0 when the user confirmed it (the four values are written back), -1
    // when cancelled or when no dialog can be shown.
    std::int32_t ShowSettings() override;
    bool DoOpen() override;
    bool DoClose() override;

    TManagerQuillList* QuillList() const;

    // IFramingDevice
    bool IsSwitchedOn() const override { return FState; }
    std::int32_t HookTimeOut() const override;
    std::string HookPref() const override;
    std::string HookPost() const override;
    bool UseInterCharInterval() const override { return FUseInterCharInterval; }
    std::uint8_t MinDataLen() const override { return FMinDataLen; }

    bool FUseInterCharInterval = false;
    std::uint8_t FMinDataLen = 0;

private:
    // The rows read at every key, found once: rows are never removed from a device.
    const registry::TPropItem* Row(const registry::TPropItem*& cache, std::string_view name) const;
    mutable const registry::TPropItem* FPrefRow = nullptr;
    mutable const registry::TPropItem* FPostRow = nullptr;
    mutable const registry::TPropItem* FTimeOutRow = nullptr;
};

} // namespace quill::capture
