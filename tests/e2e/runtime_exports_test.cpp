// What hosts are given: libquillrt.so exports what hosts and the plug-in use - the namespaces and
// classes its version script lists - and nothing of its internals; the public host header reaches
// only headers made for hosts.
#include "e2e/dynamic_symbols.h"

#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fnmatch.h>
#include <fstream>
#include <iterator>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The global patterns of the version script's extern "C++" block, quotes removed.
std::vector<std::string> ExportPatterns(const char* mapPath) {
    std::ifstream file(mapPath);
    std::stringstream text;
    text << file.rdbuf();
    std::string script = text.str();
    for (std::size_t open; (open = script.find("/*")) != std::string::npos;)
        script.erase(open, script.find("*/", open) + 2 - open);
    const std::size_t from = script.find("extern \"C++\"");
    const std::size_t to = script.find('}', from);
    std::vector<std::string> patterns;
    const std::size_t open = script.find('{', from) + 1;
    std::stringstream block(script.substr(open, to - open));
    for (std::string entry; std::getline(block, entry, ';');) {
        std::string pattern;
        for (char c : entry)
            if (c != '"' && c != '\n' && c != '}' && !(c == ' ' && pattern.empty())) pattern += c;
        if (!pattern.empty()) patterns.push_back(pattern);
    }
    return patterns;
}

// The project headers that `header` (a path below the source root) includes, directly or not.
void CollectIncludes(const std::string& root, const std::string& header,
                     std::set<std::string>& seen) {
    for (const std::string& base : {root + "/include/", root + "/"}) {
        std::ifstream file(base + header);
        if (!file) continue;
        for (std::string line; std::getline(file, line);) {
            const std::size_t open = line.find("#include \"");
            if (open != 0) continue;
            const std::size_t from = open + 10;
            const std::string included = line.substr(from, line.find('"', from) - from);
            if (seen.insert(included).second) CollectIncludes(root, included, seen);
        }
        return;
    }
    ADD_FAILURE() << "header not found: " << header;
}

// The DT_FLAGS word of a 64-bit shared object's dynamic section; 0 when it has none.
std::uint64_t DynamicFlags(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)), {});
    if (image.size() < sizeof(Elf64_Ehdr)) return ~std::uint64_t{0};
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        const std::size_t at = header.e_phoff + std::size_t{header.e_phentsize} * i;
        if (at + sizeof segment > image.size()) break;
        std::memcpy(&segment, image.data() + at, sizeof segment);
        if (segment.p_type != PT_DYNAMIC) continue;
        for (std::size_t d = segment.p_offset; d + sizeof(Elf64_Dyn) <= image.size();
             d += sizeof(Elf64_Dyn)) {
            Elf64_Dyn entry;
            std::memcpy(&entry, image.data() + d, sizeof entry);
            if (entry.d_tag == DT_NULL) break;
            if (entry.d_tag == DT_FLAGS) return entry.d_un.d_val;
        }
    }
    return 0;
}

} // namespace

TEST(HostHeader, ReachesOnlyHeadersMadeForHosts) {
    std::set<std::string> seen;
    CollectIncludes(std::string(QUILL_TEST_SOURCE) + "/..", "quill/host.h", seen);
    EXPECT_TRUE(seen.count("quill/params.h"));
    for (const std::string& header : seen) {
        // The host header's companions, and the run-time's platform layer that hosts link.
        const bool forHosts = header.starts_with("quill/") || header.starts_with("platform/");
        EXPECT_TRUE(forHosts) << "quill/host.h reaches the library's internal header " << header;
    }
}

TEST(RuntimeExports, EveryExportIsListedAndNoInternalDetailLeaks) {
    const auto patterns = ExportPatterns(QUILL_RT_MAP);
    ASSERT_GE(patterns.size(), 4u) << "no patterns read from " << QUILL_RT_MAP;
    const auto exports = quill::test::DynamicSymbols(QUILL_RT_PATH, true);
    ASSERT_GT(exports.size(), 100u) << "nm could not read " << QUILL_RT_PATH;

    std::map<std::string, int> uses;
    std::vector<std::string> unlisted;
    std::vector<std::string> internal;
    for (const std::string& name : exports) {
        bool listed = false;
        for (const std::string& pattern : patterns)
            if (fnmatch(pattern.c_str(), name.c_str(), 0) == 0) {
                listed = true;
                ++uses[pattern];
            }
        if (!listed) unlisted.push_back(name);
        // The symbol's own qualified name; a parameter list may mention internal types.
        if (name.substr(0, name.find('(')).find("::detail::") != std::string::npos)
            internal.push_back(name);
    }
    EXPECT_TRUE(unlisted.empty()) << unlisted.size() << " unlisted, first: " << unlisted.front();
    EXPECT_TRUE(internal.empty()) << internal.size() << " internal, first: " << internal.front();
    // A pattern that matches nothing is stale: the list says more than the library exports.
    for (const std::string& pattern : patterns)
        EXPECT_GT(uses[pattern], 0) << "pattern " << pattern << " matches no export";
}

TEST(RuntimeExports, PlugInAndRunTimeLoadWithoutStaticTls) {
    // Both come in with dlopen: a module that needs static TLS takes it from the loader's small
    // reserve, and once other libraries have used that up, the plug-in would no longer load.
    for (const char* path : {QUILL_RT_PATH, QUILL_PLU_PATH}) {
        const std::uint64_t flags = DynamicFlags(path);
        ASSERT_NE(flags, ~std::uint64_t{0}) << path;
        EXPECT_EQ(flags & DF_STATIC_TLS, 0u) << path;
    }
}
