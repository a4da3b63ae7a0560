// The native form backend under Wine: a form shown modally in native controls and worked with
// keys that the test enters while the form runs (a thread timer fires inside the form's own
// message loop, one step per expiry) gives back in the model what the user did.
#include "win32/focus_window.h"

#include "platform/kernel/codepage.h"
#include "platform/ui/form_backend.h"
#include "platform/ui/form_model.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/timer.h"
#include "platform/user/us_layout.h"
#include "platform/user/virtual_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <stdexcept>

namespace quill::ui::testing {
namespace {

std::deque<std::function<void()>> gSteps;

void CALLBACK RunStep(user::HWND, user::UINT, user::UINT_PTR, user::DWORD) {
    if (gSteps.empty()) return;
    const auto step = std::move(gSteps.front());
    gSteps.pop_front();
    step();
}

void Tap(std::uint8_t key, bool shift = false) {
    if (shift) user::keybd_event(user::VK_LSHIFT, 0, 0, 0);
    user::keybd_event(key, 0, 0, 0);
    user::keybd_event(key, 0, user::KEYEVENTF_KEYUP, 0);
    if (shift) user::keybd_event(user::VK_LSHIFT, 0, user::KEYEVENTF_KEYUP, 0);
}

void TypeText(const std::string& text) {
    for (char c : text) {
        const auto stroke = user::CharToKey(c);
        ASSERT_TRUE(stroke) << c;
        Tap(stroke->Key, stroke->Shift);
    }
}

bool Shows(const std::string& ansi) {
    const std::vector<std::u16string> texts = test::WindowTexts(test::ActiveWindow());
    return std::find(texts.begin(), texts.end(), kernel::AnsiToWide(ansi)) != texts.end();
}

// A settings form as the dialogs build them: a caption that a handler rewrites, an edit, a track
// bar in a group box, and OK (default) and Cancel buttons.
struct TSettingsForm {
    TForm Form;
    TLabel* Caption;
    TEdit* Prefix;
    TGroupBox* Group;
    TTrackBar* Timeout;
    TButton* Ok;
    TButton* Cancel;
    int CloseQueries = 0;
    bool RefuseFirstClose = false;

    TSettingsForm() {
        Form.Text = kernel::WideToAnsi(u"Настройка сканера");
        Form.SetBounds(0, 0, 320, 200);
        Form.BorderStyle = TBorderStyle::Dialog;
        Form.Position = TPosition::ScreenCenter;
        Caption = Form.Add<TLabel>("Caption");
        Caption->SetBounds(8, 8, 300, 16);
        Caption->Text = kernel::WideToAnsi(u"Тайм-аут: 5");
        Prefix = Form.Add<TEdit>("Prefix");
        Prefix->SetBounds(8, 28, 120, 21);
        Prefix->TabOrder = 0;
        Group = Form.Add<TGroupBox>("Group");
        Group->SetBounds(8, 56, 300, 70);
        Group->Text = kernel::WideToAnsi(u"Тайм-аут");
        Group->TabOrder = 1;
        Timeout = Group->Add<TTrackBar>("Timeout");
        Timeout->SetBounds(8, 20, 280, 40);
        Timeout->SetRange(0, 20);
        Timeout->SetPosition(5);
        Timeout->LineSize = 1;
        Timeout->PageSize = 4;
        Timeout->TabOrder = 0;
        Timeout->OnChange = [this] {
            Caption->Text = kernel::WideToAnsi(u"Тайм-аут: ") + std::to_string(Timeout->Position());
        };
        Ok = Form.Add<TButton>("Ok");
        Ok->SetBounds(150, 140, 75, 25);
        Ok->Text = "OK";
        Ok->ModalResult = mrOk;
        Ok->Default = true;
        Ok->TabOrder = 2;
        Cancel = Form.Add<TButton>("Cancel");
        Cancel->SetBounds(232, 140, 75, 25);
        Cancel->Text = kernel::WideToAnsi(u"Отмена");
        Cancel->ModalResult = mrCancel;
        Cancel->Cancel = true;
        Cancel->TabOrder = 3;
        Form.OnCloseQuery = [this](bool& canClose) {
            ++CloseQueries;
            if (RefuseFirstClose && CloseQueries == 1) canClose = false;
        };
    }
};

class Win32Forms : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::TFocusWindow::OfThisProgram().Ready());
        gSteps.clear();
        FTimer = user::SetTimer(nullptr, 0, 20, &RunStep);
        ASSERT_NE(FTimer, 0u);
    }
    void TearDown() override {
        user::KillTimer(nullptr, FTimer);
        gSteps.clear();
    }
    user::UINT_PTR FTimer = 0;
};

TEST_F(Win32Forms, TheNativeBackendIsTheDefault) {
    ASSERT_NE(CurrentFormBackend(), nullptr);
    EXPECT_STREQ(CurrentFormBackend()->Name(), "win32");
}

TEST_F(Win32Forms, TypedTextTrackBarKeysAndEnterComeBackInTheModel) {
    TSettingsForm f;
    bool captionShown = false, rewrittenShown = false;
    gSteps = {
        [&] { captionShown = Shows(f.Form.Text) && Shows(f.Caption->Text); },
        [] { TypeText("AB1"); },
        [] { Tap(user::VK_TAB); }, // to the track bar
        [] {
            Tap(user::VK_RIGHT);
            Tap(user::VK_RIGHT);
        },                          // two line steps
        [] { Tap(user::VK_NEXT); }, // a page step
        [&] { rewrittenShown = Shows(kernel::WideToAnsi(u"Тайм-аут: 11")); },
        [] { Tap(user::VK_RETURN); }, // the default button
    };
    EXPECT_EQ(f.Form.ShowModal(), mrOk);
    EXPECT_TRUE(f.Form.Closed());
    EXPECT_TRUE(captionShown) << "the form's and the label's Cyrillic texts on screen";
    EXPECT_EQ(f.Prefix->Text, "AB1");
    EXPECT_EQ(f.Timeout->Position(), 11);
    EXPECT_TRUE(rewrittenShown) << "a text that a handler rewrote reaches the screen";
    EXPECT_EQ(f.CloseQueries, 1);
    EXPECT_TRUE(gSteps.empty());
}

TEST_F(Win32Forms, EscapeCancelsUnlessTheFormRefusesToClose) {
    TSettingsForm f;
    f.RefuseFirstClose = true;
    bool stillShown = false;
    gSteps = {
        [] { TypeText("x"); },
        [] { Tap(user::VK_ESCAPE); }, // refused: the form stays
        [&] { stillShown = Shows(f.Form.Text); },
        [] { Tap(user::VK_ESCAPE); },
    };
    EXPECT_EQ(f.Form.ShowModal(Win32FormBackend()), mrCancel);
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(f.CloseQueries, 2);
    EXPECT_EQ(f.Prefix->Text, "x");
}

TEST_F(Win32Forms, AHandlersFailureTakesTheFormDownAndReachesTheCaller) {
    TSettingsForm f;
    f.Ok->OnClick = [] { throw std::runtime_error("handler failed"); };
    gSteps = {[] { Tap(user::VK_RETURN); }};
    EXPECT_THROW(f.Form.ShowModal(Win32FormBackend()), std::runtime_error);
    EXPECT_FALSE(Shows(f.Form.Text));
}

TEST_F(Win32Forms, ColoursTheModelSetsArePaintedAndSystemColoursStayTheSystems) {
    TSettingsForm f;
    f.Form.Color = 0x0000C000;   // green
    f.Group->Color = 0x00C00000; // blue
    std::uint32_t form = 0, group = 0, systemForm = 0;
    gSteps = {
        [&] {
            form = test::PixelAt(test::ActiveWindow(), 300, 190);  // below the buttons
            group = test::PixelAt(test::ActiveWindow(), 304, 120); // inside the frame
        },
        [&] {
            f.Form.Color = clBtnFace;
            systemForm = test::PixelAt(test::ActiveWindow(), 300, 190);
        },
        [] { Tap(user::VK_ESCAPE); },
    };
    f.Form.ShowModal(Win32FormBackend());
    EXPECT_EQ(form, 0x0000C000u);
    EXPECT_EQ(group, 0x00C00000u);
    EXPECT_NE(systemForm, 0x0000C000u);
}

TEST_F(Win32Forms, AMessageBoxShowsItsTextsAndAnswersOk) {
    TForm form;
    bool shown = false;
    gSteps = {
        [&] {
            shown = Shows(kernel::WideToAnsi(u"Ошибка настройки")) &&
                    Shows(kernel::WideToAnsi(u"Неверный префикс"));
        },
        [] { Tap(user::VK_RETURN); },
    };
    EXPECT_EQ(form.MessageBox(kernel::WideToAnsi(u"Неверный префикс"),
                              kernel::WideToAnsi(u"Ошибка настройки"), MB_OK | MB_ICONERROR),
              IDOK);
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace quill::ui::testing
