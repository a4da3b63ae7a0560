// The defined dynamic symbols of a shared object, as its export tests read them with nm.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quill::test {

// The names of the defined dynamic symbols of `path`, demangled when asked; empty when nm cannot
// read the file.
inline std::vector<std::string> DynamicSymbols(const char* path, bool demangled) {
    std::vector<std::string> names;
    const std::string command =
        std::string("nm -D --defined-only ") + (demangled ? "-C '" : "'") + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        // "<address> <type> <name>"; a demangled name may hold spaces.
        const std::size_t first = text.find(' ');
        const std::size_t second = text.find(' ', first + 1);
        if (first != std::string::npos && second != std::string::npos)
            names.push_back(text.substr(second + 1));
    }
    pclose(pipe);
    return names;
}

} // namespace quill::test
