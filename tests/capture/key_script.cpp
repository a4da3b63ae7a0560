#include "capture/key_script.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quill::test {

namespace {

std::vector<std::string> SplitWords(const std::string& line, int number) {
    std::vector<std::string> words;
    std::size_t i = 0;
    auto fail = [&](const char* what) {
        throw std::runtime_error("line " + std::to_string(number) + ": " + what);
    };
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string word;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] != '"') {
                word.push_back(line[i++]);
                continue;
            }
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    word.push_back(c);
                    continue;
                }
                if (i >= line.size()) fail("dangling backslash");
                c = line[i++];
                switch (c) {
                case 'r':
                    word.push_back('\r');
                    break;
                case 'n':
                    word.push_back('\n');
                    break;
                case 't':
                    word.push_back('\t');
                    break;
                case 'x':
                    if (i + 2 > line.size()) fail("short \\x escape");
                    word.push_back(static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16)));
                    i += 2;
                    break;
                default:
                    word.push_back(c);
                }
            }
            if (!closed) fail("unterminated quote");
        }
        words.push_back(word);
    }
    return words;
}

} // namespace

KeyScript ReadKeyScript(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    KeyScript script;
    script.Name = std::filesystem::path(path).stem().string();
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        auto words = SplitWords(line, number);
        if (!words.empty()) script.Lines.push_back({number, std::move(words)});
    }
    return script;
}

std::string KeyScriptTestName(const std::string& path) {
    std::string name = std::filesystem::path(path).stem().string();
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<std::string> KeyScriptFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".keys") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace quill::test

#include "platform/user/us_layout.h"

#include <map>
#include <sstream>

namespace quill::test {

ScriptDeviceSettings ParseDeviceSettings(const std::vector<std::string>& words, std::size_t first) {
    ScriptDeviceSettings settings;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "on" || word == "off") {
            settings.On = word == "on";
            continue;
        }
        const auto eq = word.find('=');
        if (eq == std::string::npos) throw std::runtime_error("bad setting " + word);
        const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
        if (key == "pref")
            settings.Pref = value;
        else if (key == "post")
            settings.Post = value;
        else if (key == "timeout")
            settings.TimeOut = value;
        else if (key == "interchar")
            settings.InterChar = value;
        else if (key == "minlen")
            settings.MinLen = value;
        else
            throw std::runtime_error("unknown setting " + key);
    }
    return settings;
}

namespace {

struct NamedKey {
    std::uint8_t Key;
    bool Extended;
};

const std::map<std::string, NamedKey> kNamedKeys = {
    {"LEFT", {user::VK_LEFT, true}},
    {"RIGHT", {user::VK_RIGHT, true}},
    {"F1", {user::VK_F1, false}},
    {"ENTER", {user::VK_RETURN, false}},
    {"TAB", {user::VK_TAB, false}},
    {"KPDOT", {user::VK_DECIMAL, false}},
    {"KPPLUS", {user::VK_ADD, false}},
    {"KPMINUS", {user::VK_SUBTRACT, false}},
    {"KPSTAR", {user::VK_MULTIPLY, false}},
    {"KPSLASH", {user::VK_DIVIDE, true}},
    {"KPENTER", {user::VK_RETURN, true}},
    {"NUMLOCK", {user::VK_NUMLOCK, true}},
    {"CAPSLOCK", {user::VK_CAPITAL, false}},
    {"SCROLLLOCK", {user::VK_SCROLL, false}},
    {"RBRACKET", {user::VK_OEM_6, false}},
    {"LSHIFT", {user::VK_LSHIFT, false}},
    {"RSHIFT", {user::VK_RSHIFT, false}},
    {"LCTRL", {user::VK_LCONTROL, false}},
    {"RCTRL", {user::VK_RCONTROL, true}},
    {"LALT", {user::VK_LMENU, false}},
    {"RALT", {user::VK_RMENU, true}},
};

NamedKey KeyByName(const std::string& name) {
    if (name.size() == 3 && name.rfind("KP", 0) == 0 &&
        isdigit(static_cast<unsigned char>(name[2])))
        return {static_cast<std::uint8_t>(user::VK_NUMPAD0 + (name[2] - '0')), false};
    if (name.size() == 1 && (isupper(static_cast<unsigned char>(name[0])) ||
                             isdigit(static_cast<unsigned char>(name[0]))))
        return {static_cast<std::uint8_t>(name[0]), false};
    const auto it = kNamedKeys.find(name);
    if (it == kNamedKeys.end()) throw std::runtime_error("unknown key " + name);
    return it->second;
}

std::string Visible(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 32)
            out += "\\x" + std::to_string(c);
        else
            out.push_back(c);
    }
    return out;
}

std::string Describe(const std::vector<std::pair<int, std::string>>& scans) {
    std::string text;
    for (const auto& [device, data] : scans)
        text += " [" + std::to_string(device) + " \"" + Visible(data) + "\"]";
    return text;
}

} // namespace

std::string RunKeyScript(const KeyScript& script, IKeyScriptTarget& target) {
    std::vector<std::pair<int, std::string>> expectedScans;
    std::optional<std::string> expectedApp;
    std::optional<int> expectedMenu;
    for (const auto& line : script.Lines) {
        const auto& w = line.Words;
        const std::string at = script.Name + ":" + std::to_string(line.Number) + ": ";
        try {
            if (w[0] == "device") {
                target.AddDevice(ParseDeviceSettings(w, 1));
            } else if (w[0] == "set" && w.size() >= 3) {
                target.SetDevice(std::stoi(w[1]), ParseDeviceSettings(w, 2));
            } else if (w[0] == "type" && w.size() >= 2) {
                const std::int64_t every =
                    (w.size() == 4 && w[2] == "every") ? std::stoll(w[3]) : 0;
                for (char c : w[1]) {
                    target.TypeChar(c);
                    target.Advance(every);
                }
            } else if ((w[0] == "key" || w[0] == "down" || w[0] == "up") && w.size() == 2) {
                const NamedKey key = KeyByName(w[1]);
                if (w[0] != "up") target.KeyEvent(key.Key, false, key.Extended);
                if (w[0] != "down") target.KeyEvent(key.Key, true, key.Extended);
            } else if (w[0] == "alt" && w.size() == 2) {
                target.KeyEvent(user::VK_LMENU, false, false);
                for (char d : w[1]) {
                    const auto digit = static_cast<std::uint8_t>(user::VK_NUMPAD0 + (d - '0'));
                    target.KeyEvent(digit, false, false);
                    target.KeyEvent(digit, true, false);
                }
                target.KeyEvent(user::VK_LMENU, true, false);
            } else if (w[0] == "live" && w.size() == 2) {
                target.TypeDuringNextReplay(w[1]);
            } else if (w[0] == "wait" && w.size() == 2) {
                target.Advance(std::stoll(w[1]));
            } else if (w[0] == "expect" && w.size() == 4 && w[1] == "scan") {
                expectedScans.emplace_back(std::stoi(w[2]), w[3]);
            } else if (w[0] == "expect" && w.size() == 3 && w[1] == "app") {
                expectedApp = w[2];
            } else if (w[0] == "expect" && w.size() == 3 && w[1] == "menu") {
                expectedMenu = std::stoi(w[2]);
            } else {
                return at + "unknown command";
            }
        } catch (const std::exception& e) {
            return at + e.what();
        }
    }
    if (!expectedApp)
        return script.Name + ": the script does not state what reaches the application";
    std::ostringstream problems;
    const auto scans = target.RaisedScans();
    if (scans != expectedScans)
        problems << "scans were:" << Describe(scans) << "; expected:" << Describe(expectedScans)
                 << "\n";
    const std::string app = target.ApplicationText();
    if (expectedApp && app != *expectedApp)
        problems << "application got \"" << Visible(app) << "\", expected \""
                 << Visible(*expectedApp) << "\"\n";
    const std::optional<int> menu = target.LoneAltTaps();
    if (expectedMenu && menu && *menu != *expectedMenu)
        problems << "the application saw " << *menu << " lone Alt taps, expected " << *expectedMenu
                 << "\n";
    return problems.str();
}

} // namespace quill::test
