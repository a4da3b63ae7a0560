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
        if (line[i] == ' ' || line[i] == '\t') { ++i; continue; }
        if (line[i] == '#') break;
        std::string word;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] != '"') { word.push_back(line[i++]); continue; }
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') { closed = true; break; }
                if (c != '\\') { word.push_back(c); continue; }
                if (i >= line.size()) fail("dangling backslash");
                c = line[i++];
                switch (c) {
                case 'r': word.push_back('\r'); break;
                case 'n': word.push_back('\n'); break;
                case 't': word.push_back('\t'); break;
                case 'x':
                    if (i + 2 > line.size()) fail("short \\x escape");
                    word.push_back(static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16)));
                    i += 2;
                    break;
                default: word.push_back(c);
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

std::vector<std::string> KeyScriptFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".keys") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace quill::test
