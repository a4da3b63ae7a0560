// Key scripts: plain-text descriptions of one capture behaviour each.
//
//   # comment
//   device on pref="+++" post="+++" timeout=65 interchar=0 minlen=4   (adds device 0, 1, ...)
//   set 0 timeout=abc                 change a device's settings
//   type "+++123+++" every 5          key-downs of those characters, 5 ms apart (default 0)
//   key LEFT                          a key that makes no character (LEFT, F1, ENTER, TAB)
//   wait 100                          let 100 ms of virtual time pass (timers fire)
//   expect scan 0 "123"               the scans raised, in order, by device index
//   expect app "abc"                  the characters that reached the application, in order
//
// Quoted texts take \r, \n, \t, \\, \" and \xNN. The expectations are checked when the script
// ends: the scans and the application text must be exactly those listed.
#pragma once

#include <string>
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

} // namespace quill::test
