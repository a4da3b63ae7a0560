// quill-host as a user runs it without a terminal: a scripted key sequence, calls by name, and
// the command line's refusals.
#include "host_runner.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using quill::test::RunHost;
using quill::test::TCommandOutput;

} // namespace

TEST(HostProcess, ScriptedKeysGiveEventsAndEcho) {
    const TCommandOutput out = RunHost("--prefix '##' --suffix '$' --keys 'ab##4006$cd##1' "
                               "--interval 1 --settle 400");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("event: source=Сканер name=Сканер штрихкодов клавиатурный №1 data=4006"))
        << out.Text;
    // The unfinished "##1" is typed again after the time-out.
    EXPECT_TRUE(out.Has("typed: ab\n")) << out.Text;
    EXPECT_TRUE(out.Has("typed: cd##1")) << out.Text;
    EXPECT_TRUE(out.Has("Bye")) << out.Text;
}

TEST(HostProcess, CallsByNamePrintResultsAndErrors) {
    const TCommandOutput out = RunHost("--call ResultDescription 6 --call DevicesQuantity "
                               "--call DeviceName 'Касса' --call DeviceName --call NoSuchMember "
                               "--call GetProps 0");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("call ResultDescription: result Ошибка в данных")) << out.Text;
    EXPECT_TRUE(out.Has("call DevicesQuantity: result 1")) << out.Text;
    EXPECT_TRUE(out.Has("call DeviceName: result Касса")) << out.Text;
    EXPECT_TRUE(out.Has("call NoSuchMember: failed, code 20036: Метод/Свойство [NoSuchMember] не "
                         "обнаружено"))
        << out.Text;
    EXPECT_TRUE(out.Has("argument 0: table 8x7")) << out.Text;
    EXPECT_TRUE(out.Has("HookPref | Префикс")) << out.Text;
}

TEST(HostProcess, BadCommandLinesAreRefused) {
    EXPECT_EQ(RunHost("--timeout soon").Status, 2);
    EXPECT_EQ(RunHost("--interchar 2").Status, 2);
    EXPECT_EQ(RunHost("--frobnicate").Status, 2);
    const TCommandOutput missing = RunHost("--settings /nonexistent/devices.xml");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Has("cannot read /nonexistent/devices.xml")) << missing.Text;
    const TCommandOutput help = RunHost("--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Has("Quit with Ctrl+C, or Escape pressed twice.")) << help.Text;
}
