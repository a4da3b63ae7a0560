// Alt+keypad character entry ("Alt codes"), which keyboard-wedge scanners use to type the same
// characters under any keyboard layout.
//
// While Alt is held (without Control), the keypad's digit keys compose a decimal code instead of
// typing (with Num Lock off the keypad's keys come as navigation keys without the extended flag,
// and compose as well); releasing Alt enters the character of the code. A code written with a leading 0 is a
// character of Windows-1251, any other a character of code page 866, the OEM code page that goes
// with it; the code counts modulo 256, and a code of 0 enters nothing. Any other key-down while
// Alt is held abandons the code (modifier keys and their auto-repeat do not).
//
// TAltCodeEntry is one keyboard's entry state: the platform keeps one per thread for
// TranslateMessage, and the capture keeps its own for the keys it holds. Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::user {

class TAltCodeEntry {
  public:
    // A key-down (`extended`: the keystroke's extended flag) and the modifiers down with it. True
    // when the key is a digit of an Alt code: it then types nothing by itself.
    bool KeyDown(std::uint8_t virtualKey, bool extended, bool alt, bool control);
    // Alt released: the digits entered since Alt went down ("" when none), and entry starts over.
    std::string AltUp();
    const std::string& Digits() const { return FDigits; }

  private:
    std::string FDigits;
};

// The digit that a keypad key gives an Alt code, -1 for any other key: VK_NUMPAD0..VK_NUMPAD9, and
// the keys the keypad types with Num Lock off (VK_INSERT for 0 ... VK_PRIOR for 9) when they are
// not extended (the separate navigation block's keys are).
int AltCodeDigit(std::uint8_t virtualKey, bool extended);

// The character that Alt with `digits` enters, 0 when it enters none.
char16_t AltCodeCharacter(std::string_view digits);

} // namespace quill::user
