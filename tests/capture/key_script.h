// Key scripts: plain-text descriptions of one capture behaviour each.
//
//   # comment
//   device on pref="+++" post="+++" timeout=65 interchar=0 minlen=4   (adds device 0, 1, ...)
//   set 0 timeout=abc                 change a device's settings
//   type "+++123+++" every 5          key-downs of those characters, 5 ms apart (default 0)
//   key LEFT                          a key pressed and released: LEFT, RIGHT, F1, ENTER, TAB,
//                                     KP0..KP9, KPDOT, KPPLUS, KPMINUS, KPSTAR, KPSLASH, KPENTER,
//                                     NUMLOCK, CAPSLOCK, SCROLLLOCK, LSHIFT, RSHIFT, LCTRL, RCTRL,
//                                     LALT, RALT, RBRACKET, or a letter or digit key ("key B")
//   down RSHIFT / up RSHIFT           one key pressed or released (the names of "key")
//   alt "0052"                        an Alt code: the left Alt held while the keypad digits are
//                                     typed
//   live "x"                          keys the user types while the next replay is entered
//   wait 100                          let 100 ms of virtual time pass (timers fire)
//   expect scan 0 "123"               the scans raised, in order, by device index
//   expect app "abc"                  the characters that reached the application, in order
//   expect menu 0                     how often the application saw Alt pressed and released
//                                     with no key between (a lone Alt tap opens a window's menu
//                                     bar); checked only where the target sees key messages
//
// Quoted texts take \r, \n, \t, \\, \" and \xNN. The expectations are checked when the script
// ends: the scans and the application text must be exactly those listed, and every script states
// what reaches the application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

struct ScriptLine {
    int Number = 0;
    std::vector<std::string> Words; // quoted words arrive unquoted and unescaped
};

struct KeyScript {
    std::string Name;
    std::vector<ScriptLine> Lines;
};

// Reads a script file; throws std::runtime_error with the line number on a syntax error.
KeyScript ReadKeyScript(const std::string& path);
// All *.keys files of a folder, sorted by name.
std::vector<std::string> KeyScriptFiles(const std::string& folder);
// A test name for a script file: its name with every character but letters and digits as "_".
std::string KeyScriptTestName(const std::string& path);

} // namespace quill::test

namespace quill::test {

// Device settings of a "device" or "set" line; absent fields stay as they are.
struct ScriptDeviceSettings {
    std::optional<bool> On;
    std::optional<std::string> Pref, Post, TimeOut, InterChar, MinLen;
};
// Reads words such as "on", "pref=+++", "timeout=65"; throws std::runtime_error on others.
ScriptDeviceSettings ParseDeviceSettings(const std::vector<std::string>& words, std::size_t first);

// What a key script drives: a capture under test.
class IKeyScriptTarget {
  public:
    virtual void AddDevice(const ScriptDeviceSettings& settings) = 0;
    virtual void SetDevice(int index, const ScriptDeviceSettings& settings) = 0;
    virtual void TypeChar(char c) = 0;
    // One key event; `extended` for keypad Enter and the navigation block.
    virtual void KeyEvent(std::uint8_t key, bool up, bool extended) = 0;
    // Keys the user types while the next replay is entered: they come in after the replay has
    // entered all its keys (or during its pauses, if it paused).
    virtual void TypeDuringNextReplay(const std::string& text) = 0;
    virtual void Advance(std::int64_t ms) = 0;
    virtual std::vector<std::pair<int, std::string>> RaisedScans() const = 0;
    virtual std::string ApplicationText() const = 0;
    // Lone Alt taps that reached the application; nothing when the target cannot tell.
    virtual std::optional<int> LoneAltTaps() const { return std::nullopt; }

  protected:
    ~IKeyScriptTarget() = default;
};

// Runs `script` against `target`; empty when every expectation holds, else what went wrong.
std::string RunKeyScript(const KeyScript& script, IKeyScriptTarget& target);

} // namespace quill::test
