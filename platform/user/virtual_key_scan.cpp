// Scan codes of virtual keys on Linux, read off the one table of the US keyboard's keys
// (evdev_keymap.cpp), so that the keys and their scan codes are written down once.
#include "platform/user/keyboard_input.h"

#include "platform/user/evdev_keymap.h"
#include "platform/user/virtual_keys.h"

#include <array>
#include <linux/input-event-codes.h>

namespace quill::user {

namespace {

std::array<BYTE, 256> BuildScanCodes() {
    std::array<BYTE, 256> codes{};
    // In the order of the key codes: the main block's key before the keypad's of the same
    // virtual key (Enter), as the system maps them.
    for (std::uint16_t evdev = 0; evdev <= KEY_MAX; ++evdev)
        if (const auto key = EvdevKeyToVirtualKey(evdev); key && !codes[key->VirtualKey])
            codes[key->VirtualKey] = key->ScanCode;
    codes[VK_SHIFT] = codes[VK_LSHIFT];
    codes[VK_CONTROL] = codes[VK_LCONTROL];
    codes[VK_MENU] = codes[VK_LMENU];
    return codes;
}

} // namespace

UINT MapVirtualKeyA(UINT code, UINT mapType) {
    static const std::array<BYTE, 256> codes = BuildScanCodes();
    if (mapType != MAPVK_VK_TO_VSC || code > 0xFF) return 0;
    return codes[code];
}

} // namespace quill::user
