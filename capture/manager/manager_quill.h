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
    bool IsSwitchedOn() const override { return IsOn(); }
    std::int32_t HookTimeOut() const override;
    const std::string& Prefix() const override;
    const std::string& Suffix() const override;
    bool UseInterCharInterval() const override { return FUseInterCharInterval; }
    std::uint8_t MinDataLen() const override { return FMinDataLen; }

    bool FUseInterCharInterval = false;
    std::uint8_t FMinDataLen = 0;

  private:
    // A parameter read at every key: its row, found once (rows are never removed from a device),
    // and what its stored text last decoded to, redone only when the text changes.
    template <class T> struct TKeyParam {
        const registry::TPropItem* Row = nullptr;
        std::string Stored;
        T Decoded{};
        bool Valid = false;
    };
    const std::string& DecodedText(TKeyParam<std::string>& param, std::string_view name) const;
    mutable TKeyParam<std::string> FPref, FPost;
    mutable TKeyParam<std::int32_t> FTimeOut;
};

} // namespace quill::capture
