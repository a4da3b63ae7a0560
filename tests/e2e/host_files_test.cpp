// The files a user names to quill-host (--settings, --replay): what is no regular file or is far
// too large is refused at once with what is wrong with it, and a file that is read but gives
// nothing to work with (no key event, no device) says why instead of ending in silence.
#include "host_runner.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using quill::test::kTimedOut;
using quill::test::RunHostWithin;
using TRun = quill::test::TCommandOutput;

// Long enough for a host under the sanitizers, short enough that a hang is seen at once.
constexpr int kSeconds = 30;

class HostFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("quill-host-files-" + std::to_string(getpid()));
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }

    std::string File(const std::string& name, const std::string& text) {
        const std::string path = (FFolder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string Path(const std::string& name) { return (FFolder / name).string(); }

    fs::path FFolder;
};

const std::string kDevice =
    "<Устройство Код=\"{11111111-2222-3333-4444-555555555555}\" "
    "КодМодели=\"{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}\" Наименование=\"Till\">"
    "<Параметры><Параметр Идентификатор=\"HookPref\" Зна4ение=\"+++\"/></Параметры>"
    "</Устройство>";

// A FIFO would keep the host waiting for a writer, a link to a device would be read without end.
TEST_F(HostFiles, WhatIsNoRegularFileIsRefusedWithoutWaiting) {
    const std::string fifo = Path("devices.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = Path("device.xml");
    fs::create_symlink("/dev/null", device);
    for (const std::string& option : {"--settings ", "--replay "}) {
        TRun run = RunHostWithin(kSeconds, option + fifo);
        EXPECT_EQ(run.Status, 1) << option << run.Text;
        EXPECT_TRUE(run.Has("cannot read " + fifo + ": is a FIFO (named pipe), not a regular file"))
            << run.Text;
        run = RunHostWithin(kSeconds, option + device);
        EXPECT_EQ(run.Status, 1) << option << run.Text;
        EXPECT_TRUE(
            run.Has("cannot read " + device + ": is a character device, not a regular file"))
            << run.Text;
        run = RunHostWithin(kSeconds, option + FFolder.string());
        EXPECT_EQ(run.Status, 1) << option << run.Text;
        EXPECT_TRUE(run.Has("cannot read " + FFolder.string() + ": is a folder")) << run.Text;
    }
}

// Sparse files: the size is refused before a byte is read.
TEST_F(HostFiles, AFileBeyondTheLimitIsRefusedByItsSize) {
    const struct {
        const char* Option;
        std::uintmax_t Limit;
    } cases[] = {{"--settings ", std::uintmax_t{64} << 20},
                 {"--replay ", std::uintmax_t{256} << 20}};
    for (const auto& c : cases) {
        const std::string path = File("large", "");
        fs::resize_file(path, c.Limit + 1);
        const TRun run = RunHostWithin(kSeconds, c.Option + path);
        EXPECT_EQ(run.Status, 1) << run.Text;
        EXPECT_TRUE(run.Has("cannot read " + path + ": is larger than the limit of " +
                            std::to_string(c.Limit) + " bytes"))
            << run.Text;
        fs::remove(path);
    }
}

TEST_F(HostFiles, ARecordingWithoutKeyEventsSaysWhy) {
    const std::string key = "Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value 1";
    const struct {
        std::string Text;
        std::string Why;
    } cases[] = {
        {"Input driver version is 1.0.1\r" + key + "\r",
         "its lines end with a carriage return alone"},
        {"Input driver version is 1.0.1\n$ " + key + "\n",
         "no line begins with \"Event:\"; line 2 has \"$ \" in front of it"},
        {"# EVEMU 1.3\nN: Wedge\nE: 0.000000 0000 0000 0000\nE: 0.1 0004 0004 458977\n",
         "its 2 events are of other types than EV_KEY"},
        {"# EVEMU 1.3\nN: Wedge\n",
         "it has evemu-record's description of a device but no event line"},
    };
    for (const auto& c : cases) {
        const std::string path = File("empty.rec", c.Text);
        const TRun run = RunHostWithin(kSeconds, "--replay " + path);
        EXPECT_EQ(run.Status, 1) << run.Text;
        EXPECT_TRUE(run.Has(path + ": no key events to replay: " + c.Why)) << run.Text;
        EXPECT_FALSE(run.Has("Loaded")) << run.Text;
    }
}

TEST_F(HostFiles, SettingsThatGiveNoDeviceSayWhy) {
    // A device element named in Windows-1251 bytes.
    const std::string windows1251 =
        "<EquList><\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE/></EquList>";
    const struct {
        std::string Text;
        std::string Why;
    } cases[] = {
        {std::string("<EquList/>") + '\0' + "<EquList>" + kDevice + "</EquList>",
         "it holds a NUL byte at offset 10 (line 1): the settings text ends there"},
        {windows1251, "it is not UTF-8 text (byte 0xD3 at offset 10, line 1)"},
        {"<EquList xmlns=\"urn:till\">" + kDevice + "</EquList>",
         "its root element EquList is in an XML namespace"},
        {"<?xml version=\"1.0\"?><!-- devices --><q:EquList xmlns:q=\"urn:till\">"
         "<q:Устройство Код=\"{11111111-2222-3333-4444-555555555555}\"/></q:EquList>",
         "its root element q:EquList is in an XML namespace"},
        {"<EquList></EquList>", "it holds no element Устройство"},
    };
    for (const auto& c : cases) {
        const std::string path = File("settings.xml", c.Text);
        const TRun run = RunHostWithin(kSeconds, "--settings " + path + " --call DevicesQuantity");
        EXPECT_EQ(run.Status, 0) << run.Text;
        EXPECT_TRUE(run.Has("SettingDevices " + path + ": no device came of it: " + c.Why))
            << run.Text;
        EXPECT_TRUE(run.Has("call DevicesQuantity: result 0")) << run.Text;
    }
    // A file that does give a device says nothing of the kind.
    const std::string good = File("good.xml", "<EquList>" + kDevice + "</EquList>");
    const TRun run = RunHostWithin(kSeconds, "--settings " + good + " --call DevicesQuantity");
    EXPECT_TRUE(run.Has("call DevicesQuantity: result 1")) << run.Text;
    EXPECT_FALSE(run.Has("no device came of it")) << run.Text;
}

} // namespace
