// Where quill-host finds its plug-in when nobody names one, and what it says of the plug-in's
// version: a host copied away from any plug-in says every place it looked; a host whose plug-in
// lies where the installation puts it loads that one; --version reports the plug-in's own
// version block.
#include "host_runner.h"
#include "infra/version/version_info.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using quill::test::RunCommand;
using quill::test::TCommandOutput;

class HostLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        FRoot = fs::temp_directory_path() / ("quill-host-layout-" + std::to_string(getpid()));
        fs::remove_all(FRoot);
        fs::create_directories(FRoot / "bin");
        FHost = FRoot / "bin" / "quill-host";
        fs::copy_file(QUILL_HOST_PATH, FHost);
    }
    void TearDown() override { fs::remove_all(FRoot); }

    TCommandOutput Run(const std::string& arguments) const {
        return RunCommand("QUILL_DATA_DIR='" + (FRoot / "data").string() + "' timeout 60 '" +
                          FHost.string() + "' " + arguments + " </dev/null 2>&1");
    }

    fs::path FRoot;
    fs::path FHost;
};

} // namespace

TEST_F(HostLayout, AMissingPlugInIsReportedWithEveryPlaceLookedAt) {
    const TCommandOutput out = Run("--keys x --settle 0");
    EXPECT_EQ(out.Status, 1) << out.Text;
    EXPECT_TRUE(out.Has("Quill.plu was not found")) << out.Text;
    // Beside the program (a build tree) and in the installed module folder.
    EXPECT_TRUE(out.Has((FRoot / "bin" / "Quill.plu").string())) << out.Text;
    const fs::path installed = FRoot / "bin" / QUILL_MODULE_DIR_FROM_BIN / "Quill.plu";
    EXPECT_TRUE(out.Has(installed.lexically_normal().string())) << out.Text;
    EXPECT_TRUE(out.Has("--plugin")) << out.Text;

    const TCommandOutput version = Run("--version");
    EXPECT_EQ(version.Status, 1) << version.Text;
    EXPECT_TRUE(version.Has("Quill.plu was not found")) << version.Text;
}

TEST_F(HostLayout, APlugInInTheInstalledFolderIsLoaded) {
    const fs::path folder = (FRoot / "bin" / QUILL_MODULE_DIR_FROM_BIN).lexically_normal();
    fs::create_directories(folder);
    fs::copy_file(QUILL_PLU_PATH, folder / "Quill.plu");
    const TCommandOutput out = Run("--keys '+++77+++' --interval 1 --settle 300");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("Loaded " + (folder / "Quill.plu").string())) << out.Text;
    EXPECT_TRUE(out.Has("data=77")) << out.Text;
}

TEST_F(HostLayout, VersionIsThePlugInsVersionBlock) {
    quill::infra::TVersionInfo info(QUILL_PLU_PATH);
    ASSERT_TRUE(info.Valid());
    const std::string expected = info.FileVersion();
    ASSERT_FALSE(expected.empty());

    const TCommandOutput out = Run("--plugin '" QUILL_PLU_PATH "' --version");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_EQ(out.Text.substr(0, out.Text.find('\n')), "quill-host " + expected) << out.Text;
    EXPECT_TRUE(out.Has(QUILL_PLU_PATH)) << out.Text;

    const TCommandOutput missing = Run("--plugin /nonexistent/Quill.plu --version");
    EXPECT_EQ(missing.Status, 1) << missing.Text;
    EXPECT_TRUE(missing.Has("there is no plug-in at /nonexistent/Quill.plu")) << missing.Text;

    // A file without a version block is no plug-in of ours: said, not printed as version "".
    const TCommandOutput none = Run("--plugin /bin/sh --version");
    EXPECT_EQ(none.Status, 1) << none.Text;
    EXPECT_TRUE(none.Has("/bin/sh has no version information")) << none.Text;
}
