// Code above platform/ keeps to the platform's contract: the lists in platform/README.md decide
// which platform headers it may include, so that the same code can run on the real services.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = fs::path(QUILL_TEST_SOURCE) / "..";
// The product's source folders above platform/.
const char* const kAbove[] = {"infra",  "exchange", "registry", "capture",
                              "plugin", "host",     "include"};

struct TContractLists {
    std::set<std::string> Contract;
    std::set<std::string> Internal;
    std::set<std::pair<std::string, std::string>> Exceptions; // (file above, internal header)
};

std::vector<std::string> Backticked(const std::string& line) {
    std::vector<std::string> out;
    static const std::regex quoted("`([^`]+)`");
    for (std::sregex_iterator it(line.begin(), line.end(), quoted), end; it != end; ++it)
        out.push_back((*it)[1]);
    return out;
}

bool IsHeader(const std::string& name) {
    return name.size() > 2 && name.ends_with(".h") && name.find(' ') == std::string::npos;
}

// The contract's headers from "## The contract"; the internals and, after "Known exceptions",
// the (file, header) pairs from "## The Linux stand-in's internals".
TContractLists ReadLists() {
    std::ifstream in(kRoot / "platform" / "README.md");
    TContractLists lists;
    std::string line, section;
    bool exceptions = false;
    while (std::getline(in, line)) {
        if (line.starts_with("## ")) {
            section = line.substr(3);
            continue;
        }
        const std::vector<std::string> names = Backticked(line);
        if (section == "The contract") {
            for (const std::string& name : names)
                if (IsHeader(name)) lists.Contract.insert(name);
        } else if (section == "The Linux stand-in's internals") {
            if (line.starts_with("Known exceptions")) exceptions = true;
            if (exceptions && line.starts_with("- ") && names.size() == 2)
                lists.Exceptions.insert({names[0], names[1]});
            else if (!exceptions)
                for (const std::string& name : names)
                    if (IsHeader(name)) lists.Internal.insert(name);
        }
    }
    return lists;
}

// Every `#include "platform/..."` of the product's code above platform/: (file, header).
std::vector<std::pair<std::string, std::string>> IncludesAbove() {
    std::vector<std::pair<std::string, std::string>> found;
    static const std::regex include(R"re(^\s*#\s*include\s*"platform/([^"]+)")re");
    for (const char* folder : kAbove) {
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            std::ifstream in(entry.path());
            std::string line;
            std::smatch match;
            while (std::getline(in, line))
                if (std::regex_search(line, match, include))
                    found.push_back({fs::relative(entry.path(), kRoot).generic_string(), match[1]});
        }
    }
    return found;
}

TEST(PlatformContract, TheListsCoverEveryPlatformHeaderOnce) {
    const TContractLists lists = ReadLists();
    ASSERT_GT(lists.Contract.size(), 30u) << "platform/README.md lost its contract list";
    ASSERT_GT(lists.Internal.size(), 5u);
    std::set<std::string> headers;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / "platform"))
        if (entry.is_regular_file() && entry.path().extension() == ".h")
            headers.insert(fs::relative(entry.path(), kRoot / "platform").generic_string());
    for (const std::string& header : headers) {
        const bool contract = lists.Contract.count(header) != 0;
        const bool internal = lists.Internal.count(header) != 0;
        EXPECT_TRUE(contract != internal)
            << "platform/" << header << " is " << (contract ? "in both lists" : "in neither list")
            << " of platform/README.md";
    }
    for (const auto* list : {&lists.Contract, &lists.Internal})
        for (const std::string& header : *list)
            EXPECT_TRUE(headers.count(header))
                << "platform/README.md lists platform/" << header << ", which does not exist";
}

TEST(PlatformContract, SourcesAboveThePlatformIncludeOnlyTheContract) {
    const TContractLists lists = ReadLists();
    std::set<std::pair<std::string, std::string>> exceptionsSeen;
    for (const auto& [file, header] : IncludesAbove()) {
        if (lists.Contract.count(header)) continue;
        if (lists.Exceptions.count({file, header})) {
            exceptionsSeen.insert({file, header});
            continue;
        }
        ADD_FAILURE() << file << " includes platform/" << header
                      << ", which is not in the platform's contract (platform/README.md)";
    }
    for (const auto& [file, header] : lists.Exceptions)
        EXPECT_TRUE(exceptionsSeen.count({file, header}))
            << file << " no longer includes platform/" << header
            << ": take it off the known exceptions in platform/README.md";
}

} // namespace
