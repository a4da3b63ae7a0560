#include "infra/version/version_info.h"

#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace quill::infra {
namespace {

namespace fs = std::filesystem;

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(VersionInfo, SampleLibraryWithFileVersionText) {
    TVersionInfo info(QUILL_VERSION_SAMPLE);
    ASSERT_TRUE(info.Valid());
    EXPECT_GT(info.InfoSize(), 0u);
    EXPECT_EQ(info.TranslationKey(), "041904E3");
    EXPECT_EQ(info.FileVersion(), kernel::WideToAnsi(u"1.2.3.4 (образец)"));
    EXPECT_EQ(info.StringValue("productname"), kernel::WideToAnsi(u"Образец"));
    EXPECT_EQ(info.StringValue("CompanyName"), "");
    const TVersionNumbers numbers = info.VersionNumbers();
    EXPECT_EQ(numbers.High, 0x00010002u);
    EXPECT_EQ(numbers.Low, 0x00030004u);
}

TEST(VersionInfo, WithoutTheTextTheFixedVersionIsFormatted) {
    TVersionInfo info(QUILL_VERSION_PLAIN);
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(info.StringValue("FileVersion"), "");
    EXPECT_EQ(info.FileVersion(), "1.2.3.4");
}

TEST(VersionInfo, ThePlugInCarriesTheProjectVersion) {
    TVersionInfo info(QUILL_PLU_PATH);
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(info.TranslationKey(), "041904E3");
    EXPECT_EQ(info.FileVersion(), "1.0.1.1");
    EXPECT_EQ(info.VersionNumbers().High, 0x00010000u);
    EXPECT_EQ(info.VersionNumbers().Low, 0x00010001u);
}

TEST(VersionInfo, FilesWithoutABlockGiveEmptyTextsAndZeros) {
    // The test program is not the plug-in: its own module has no block.
    const auto own = TVersionInfo::ForOwnModule();
    EXPECT_EQ(fs::path(own->FileName()).stem(), "quill-tests-infra");
    EXPECT_FALSE(own->Valid());
    for (const std::string& path : {std::string("/no/such/file"), own->FileName(),
                                    std::string("/proc/self/status"), std::string("/tmp")}) {
        TVersionInfo info(path);
        EXPECT_FALSE(info.Valid()) << path;
        EXPECT_EQ(info.InfoSize(), 0u);
        EXPECT_EQ(info.TranslationKey(), "");
        EXPECT_EQ(info.FileVersion(), "");
        EXPECT_EQ(info.VersionNumbers().High, 0u);
        EXPECT_EQ(info.VersionNumbers().Low, 0u);
    }
}

// Truncated and damaged copies of a real library: never a read outside the file, never a block
// that is not wholly there.
TEST(VersionInfo, TruncatedOrDamagedFilesAreReadSafely) {
    const std::vector<char> original = ReadAll(QUILL_VERSION_SAMPLE);
    ASSERT_GT(original.size(), 1000u);
    const fs::path copy =
        fs::temp_directory_path() / ("quill-version-" + std::to_string(std::random_device()()));
    for (std::size_t length = 0; length < original.size(); length += 127) {
        WriteAll(copy, std::vector<char>(original.begin(),
                                         original.begin() + static_cast<std::ptrdiff_t>(length)));
        TVersionInfo info(copy.string());
        if (info.Valid()) {
            EXPECT_EQ(info.VersionNumbers().Low, 0x00030004u);
        }
    }
    // Every byte of the ELF header and of the section headers, or every other byte of a Windows
    // library's headers and section table (its first 1 KiB), set to 0xFF in turn.
    std::vector<std::size_t> places;
    if (original[0] == 'M' && original[1] == 'Z') {
        for (std::size_t i = 0; i < 0x400; i += 2)
            places.push_back(i);
    } else {
        for (std::size_t i = 0; i < 64; ++i)
            places.push_back(i);
        const std::uint64_t shoff = *reinterpret_cast<const std::uint64_t*>(&original[0x28]);
        for (std::size_t i = shoff; i < original.size(); i += 7)
            places.push_back(i);
    }
    // And every byte of the version block itself, found by its key.
    const std::u16string key = u"VS_VERSION_INFO";
    const std::string keyBytes(reinterpret_cast<const char*>(key.data()), key.size() * 2);
    const auto found = std::string(original.begin(), original.end()).find(keyBytes);
    ASSERT_NE(found, std::string::npos);
    const std::size_t blockStart = found - 6;
    const std::size_t blockLength = static_cast<unsigned char>(original[blockStart]) |
                                    (static_cast<unsigned char>(original[blockStart + 1]) << 8);
    for (std::size_t i = blockStart; i < blockStart + blockLength; ++i)
        places.push_back(i);
    int valid = 0;
    for (const std::size_t at : places) {
        std::vector<char> damaged = original;
        damaged[at] = static_cast<char>(0xFF);
        WriteAll(copy, damaged);
        TVersionInfo info(copy.string());
        if (info.Valid()) {
            ++valid;
            info.FileVersion();
            info.TranslationKey();
        }
    }
    EXPECT_GT(valid, 0);
    fs::remove(copy);
}

} // namespace
} // namespace quill::infra
