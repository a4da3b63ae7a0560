// quill-host as a user runs it without a terminal: a scripted key sequence, calls by name, and
// the command line's refusals.
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {

struct Output {
    std::string Text;
    int Status = -1;
};

Output RunHost(const std::string& arguments) {
    Output out;
    const std::string command =
        std::string("QUILL_DATA_DIR=/tmp/quill-e2e-data LANG=ru_RU.UTF-8 '") + QUILL_HOST_PATH +
        "' " + arguments + " </dev/null 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.Text.append(buffer, got);
    const int status = pclose(pipe);
    out.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

bool Has(const Output& out, const std::string& text) {
    return out.Text.find(text) != std::string::npos;
}

} // namespace

TEST(HostProcess, ScriptedKeysGiveEventsAndEcho) {
    const Output out = RunHost("--prefix '##' --suffix '$' --keys 'ab##4006$cd##1' "
                               "--interval 1 --settle 400");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(Has(out, "event: source=Сканер name=Сканер штрихкодов клавиатурный №1 data=4006"))
        << out.Text;
    // The unfinished "##1" is typed again after the time-out.
    EXPECT_TRUE(Has(out, "typed: ab\n")) << out.Text;
    EXPECT_TRUE(Has(out, "typed: cd##1")) << out.Text;
    EXPECT_TRUE(Has(out, "Bye")) << out.Text;
}

TEST(HostProcess, CallsByNamePrintResultsAndErrors) {
    const Output out = RunHost("--call ResultDescription 6 --call DevicesQuantity "
                               "--call DeviceName 'Касса' --call DeviceName --call NoSuchMember "
                               "--call GetProps 0");
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(Has(out, "call ResultDescription: result Ошибка в данных")) << out.Text;
    EXPECT_TRUE(Has(out, "call DevicesQuantity: result 1")) << out.Text;
    EXPECT_TRUE(Has(out, "call DeviceName: result Касса")) << out.Text;
    EXPECT_TRUE(Has(out, "call NoSuchMember: failed, code 20036: Метод/Свойство [NoSuchMember] не "
                         "обнаружено"))
        << out.Text;
    EXPECT_TRUE(Has(out, "argument 0: table 8x7")) << out.Text;
    EXPECT_TRUE(Has(out, "HookPref | Префикс")) << out.Text;
}

TEST(HostProcess, BadCommandLinesAreRefused) {
    EXPECT_EQ(RunHost("--timeout soon").Status, 2);
    EXPECT_EQ(RunHost("--interchar 2").Status, 2);
    EXPECT_EQ(RunHost("--frobnicate").Status, 2);
    const Output missing = RunHost("--settings /nonexistent/devices.xml");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(Has(missing, "cannot read /nonexistent/devices.xml")) << missing.Text;
    const Output help = RunHost("--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(Has(help, "Quit with Ctrl+C, or Escape pressed twice.")) << help.Text;
}
