// Code above platform/ reaches the operating system only through the platform's names: no POSIX
// header, errno, stat structure, C-library clock, terminal call or standard-input descriptor in
// its sources (the reference host included), so that the same code builds on the Windows services
// and every file rule, time stamp and input wait stays in one place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kAbovePlatform[] = {"infra",   "exchange", "registry",
                                          "capture", "plugin",   "host"};

TEST(PosixFree, NoSourceAbovePlatformUsesPosixFilesErrnoOrTheCLibraryClock) {
    const std::regex forbidden(R"(<fcntl\.h>|<sys/stat\.h>|<unistd\.h>|<cerrno>|<errno\.h>|)"
                               R"(\berrno\b|\bstruct stat\b|\bclock_gettime\b|\blocaltime_r\b|)"
                               R"(<poll\.h>|<termios\.h>|<grp\.h>|<sys/[a-z_]+\.h>|)"
                               R"(\bisatty\b|\breadlink\b|\bSTDIN_FILENO\b)");
    const fs::path root = fs::path(QUILL_TEST_SOURCE).parent_path();
    std::vector<std::string> found;
    std::size_t scanned = 0;
    for (const char* folder : kAbovePlatform) {
        ASSERT_TRUE(fs::is_directory(root / folder)) << root / folder;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            ++scanned;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (std::regex_search(line, match, forbidden))
                    found.push_back(fs::relative(entry.path(), root).string() + ":" +
                                    std::to_string(number) + ": " + match.str());
            }
        }
    }
    EXPECT_GT(scanned, 100u) << "the source tree was not found";
    EXPECT_TRUE(found.empty()) << [&] {
        std::string all;
        for (const std::string& hit : found)
            all += "\n  " + hit;
        return all;
    }();
}

} // namespace
