// Whole-file saves and reads through the platform, as every system gives them: a save replaces
// the file whole, a read is bounded, and failures carry the system's code in their HRESULT. (The
// Linux file rules - plants of other users, modes, killed saves - are in atomic_save_test.cpp.)
#include "exchange/stream/atomic_file.h"
#include "platform/rtl/exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quill::exchange {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        FRoot = fs::temp_directory_path() /
                ("quill-atomic-" + std::to_string(random()) + std::to_string(random()));
        ASSERT_TRUE(fs::create_directory(FRoot));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    std::string Path(const std::string& name) const { return (FRoot / name).generic_string(); }
    // The HRESULT that a failing call raises; 0 when it raises nothing.
    template <typename F> static com::HRESULT Raised(F call) {
        try {
            call();
        } catch (const rtl::EOleSysError& e) {
            return e.ErrorCode();
        }
        return 0;
    }

    fs::path FRoot;
};

TEST_F(AtomicFile, ASaveReplacesTheFileWholeAndReadsAreBounded) {
    std::string contents;
    EXPECT_FALSE(ReadWholeFile(Path("table.dat"), contents));
    EXPECT_FALSE(FileExists(Path("table.dat")));
    ReplaceFileContents(Path("table.dat"), {{"first ", 6}, {"save", 4}});
    ASSERT_TRUE(ReadWholeFile(Path("table.dat"), contents));
    EXPECT_EQ(contents, "first save");
    ReplaceFileContents(Path("table.dat"), {{"second", 6}});
    ASSERT_TRUE(ReadWholeFile(Path("table.dat"), contents));
    EXPECT_EQ(contents, "second");
    EXPECT_TRUE(FileExists(Path("table.dat")));
    EXPECT_EQ(std::distance(fs::directory_iterator(FRoot), fs::directory_iterator()), 1)
        << "a save left a copy behind";
    // Too large a file is refused by its size, with the system's code for it.
    EXPECT_EQ(Raised([&] { ReadWholeFile(Path("table.dat"), contents, 5); }),
              static_cast<com::HRESULT>(0x800700DF));
}

TEST_F(AtomicFile, FailuresCarryTheSystemsCode) {
    fs::create_directory(FRoot / "dir");
    EXPECT_EQ(Raised([&] {
                  ReplaceFileContents(Path("dir"), {{"x", 1}});
              }),
              static_cast<com::HRESULT>(0x80070005))
        << "a folder in the way";
    EXPECT_TRUE(fs::is_directory(FRoot / "dir"));
    EXPECT_EQ(Raised([&] {
                  ReplaceFileContents(Path("none/file"), {{"x", 1}});
              }),
              static_cast<com::HRESULT>(0x80070002))
        << "a missing folder";
    EXPECT_FALSE(FileExists(Path("dir")));
    std::string contents;
    EXPECT_FALSE(ReadWholeFile(Path("none/file"), contents));
}

} // namespace
} // namespace quill::exchange
