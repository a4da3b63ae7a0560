// The terminal form on injected streams, showing and editing the scanner settings dialog.
#include "capture/settings_dialog/kb_settings.h"
#include "platform/kernel/codepage.h"
#include "platform/ui/terminal/terminal_form.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quill::ui {
namespace {

using capture::ShowKBSettings;
using capture::TKBSettingsChoice;
using capture::TKBSettingsValues;

TKBSettingsValues Device() {
    return {"Scanner1", "[", kernel::WideToAnsi(u"конец\r\n"), [] { return 65; }};
}

class TerminalFormTest : public ::testing::Test {
  protected:
    // Runs the dialog on the terminal form with `input` typed; returns ShowKBSettings' result.
    int Run(const std::string& input, TKBSettingsChoice& choice) {
        In.str(input);
        In.clear();
        Out.str("");
        return ShowKBSettings(Device(), choice, &Terminal);
    }
    std::istringstream In;
    std::ostringstream Out;
    TTerminalForm Terminal{In, Out};
};

TEST_F(TerminalFormTest, ShowsTheFormsCaptionsAndValues) {
    TKBSettingsChoice choice;
    EXPECT_EQ(Run("", choice), -1) << "the end of the input cancels";
    const std::string screen = Out.str();
    for (const char* expected :
         {"== Настройка ==", " 1) Идентификатор: [Scanner1]", " -- Параметры --",
          "    2) Префикс: [[]", "    3) Постфикс: [конец\\r\\n]",
          "    4) Тайм-аут: 65 мс.  50 .. 1000  (+/- 25, ++/-- 100)", " 5) [OK]", "*6) [Отмена]"}) {
        EXPECT_NE(screen.find(expected), std::string::npos) << expected << "\nin\n" << screen;
    }
}

TEST_F(TerminalFormTest, EditsFieldsStepsTheTimeOutAndCloses) {
    TKBSettingsChoice choice;
    const std::string input = "1\nКасса 2\n"
                              "3\n\\r\n"
                              "4\n+\n"
                              "4\n++\n"
                              "4\n--\n"
                              "ok\n";
    EXPECT_EQ(Run(input, choice), 0);
    EXPECT_EQ(choice.Identifier, kernel::WideToAnsi(u"Касса 2"));
    EXPECT_EQ(choice.Prefix, "[");
    EXPECT_EQ(choice.Suffix, "\r");
    EXPECT_EQ(choice.TimeOut, 90);
    EXPECT_NE(Out.str().find("Тайм-аут: 190 мс."), std::string::npos);

    EXPECT_EQ(Run("4\n5000\n5\n", choice), 0);
    EXPECT_EQ(choice.TimeOut, 1000) << "typed positions are clamped";
}

TEST_F(TerminalFormTest, AppliesTheDialogsChecksAndMessages) {
    TKBSettingsChoice choice;
    // Empty identifier and prefix: OK names the identifier, the close query is not reached.
    const std::string input = "1\n\n2\n\n5\n\n" // message, acknowledged
                              "1\nX\nOK\n\n"    // the prefix is still empty
                              "Отмена\n";
    EXPECT_EQ(Run(input, choice), -1);
    const std::string screen = Out.str();
    const auto first = screen.find("-- Настройка --\nИдентификатор устройства пустой!\n[OK]");
    const auto second = screen.find("-- Настройка --\nПреффикс - не может быть пустым!\n[OK]");
    EXPECT_NE(first, std::string::npos) << screen;
    EXPECT_NE(second, std::string::npos) << screen;
    EXPECT_LT(first, second);
    EXPECT_EQ(screen.find("Постфикс - не может"), std::string::npos);
    EXPECT_NE(screen.find("   *2) Префикс: []"), std::string::npos)
        << "the focus moved to the prefix";
}

TEST(TerminalFormText, EscapesRoundTrip) {
    const std::string text = kernel::WideToAnsi(u"a\\b\r\n\tя");
    EXPECT_EQ(TTerminalForm::Show(text), "a\\\\b\\r\\n\\tя");
    EXPECT_EQ(TTerminalForm::Parse(TTerminalForm::Show(text)), text);
    EXPECT_EQ(TTerminalForm::Parse("\\x\\"), "\\x\\") << "what is not an escape stands as typed";
}

} // namespace
} // namespace quill::ui
