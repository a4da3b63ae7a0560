// The scanner settings dialog on the form model, worked by a scripted user.
#include "capture/settings_dialog/kb_settings.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/exception.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>

namespace quill::capture {
namespace {

using ui::TControlKind;

std::string A(const char16_t* text) {
    return kernel::WideToAnsi(text);
}

TKBSettingsValues Device(std::string id = "Scanner1", std::string pref = "[",
                         std::string post = "]", int timeOut = 65) {
    return {std::move(id), std::move(pref), std::move(post), [timeOut] { return timeOut; }};
}

class SettingsDialogTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetColorForm(kColorNotSet);
        SetColorBody(kColorNotSet);
        SetColorFont(kColorNotSet);
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : User.Messages)
            texts.push_back(message.Text);
        return texts;
    }
    test::TScriptedBackend User;
};

TEST_F(SettingsDialogTest, LayoutFollowsTheDesign) {
    TfmKBSettings dialog(Device());
    EXPECT_EQ(dialog.Text, A(u"Настройка"));
    EXPECT_EQ(dialog.Width, 336);
    EXPECT_EQ(dialog.Height, 191);
    EXPECT_EQ(dialog.BorderStyle, ui::TBorderStyle::Dialog);
    EXPECT_EQ(dialog.Position, ui::TPosition::ScreenCenter);
    EXPECT_EQ(dialog.Font.Name, "MS Sans Serif");
    EXPECT_EQ(dialog.Font.Height, -11);
    EXPECT_EQ(dialog.ActiveControl, dialog.btnCancel);

    struct Row {
        ui::TControl* Control;
        TControlKind Kind;
        ui::TControl* Parent;
        int Left, Top, Width, Height;
        std::string Text;
        int TabOrder;
        ui::TAnchors Anchors;
    };
    const ui::TAnchors lt = ui::akLeft | ui::akTop;
    const ui::TAnchors rb = ui::akRight | ui::akBottom;
    ui::TControl* gb = dialog.gbParameters;
    const Row rows[] = {
        {dialog.lbIdentif, TControlKind::Label, &dialog, 8, 12, 83, 13, A(u"Идентификатор:"), -1,
         lt},
        {dialog.edIdentif, TControlKind::Edit, &dialog, 96, 8, 233, 21, "Scanner1", 0,
         lt | ui::akRight},
        {gb, TControlKind::GroupBox, &dialog, 8, 40, 321, 108, A(u" Параметры "), 1, lt | rb},
        {dialog.lbPref, TControlKind::Label, gb, 8, 24, 49, 13, A(u"Префикс:"), -1, lt},
        {dialog.edPref, TControlKind::Edit, gb, 72, 20, 241, 21, "[", 0, lt},
        {dialog.lbPostf, TControlKind::Label, gb, 8, 48, 54, 13, A(u"Постфикс:"), -1, lt},
        {dialog.edPost, TControlKind::Edit, gb, 72, 44, 241, 21, "]", 1, lt},
        {dialog.lbTimeOut, TControlKind::Label, gb, 8, 72, 49, 13, A(u"Тайм-аут:"), -1, lt},
        {dialog.lbTO, TControlKind::Label, gb, 72, 72, 23, 13, A(u"65 мс."), -1, lt},
        {dialog.tbTO, TControlKind::TrackBar, gb, 120, 68, 193, 26, "", 2, lt},
        {dialog.btnOk, TControlKind::Button, &dialog, 161, 158, 80, 25, "OK", 2, rb},
        {dialog.btnCancel, TControlKind::Button, &dialog, 249, 158, 80, 25, A(u"Отмена"), 3, rb},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Control->Name());
        EXPECT_EQ(row.Control->Kind(), row.Kind);
        EXPECT_EQ(row.Control->Parent(), row.Parent);
        EXPECT_EQ(row.Control->Left, row.Left);
        EXPECT_EQ(row.Control->Top, row.Top);
        EXPECT_EQ(row.Control->Width, row.Width);
        EXPECT_EQ(row.Control->Height, row.Height);
        EXPECT_EQ(row.Control->Text, row.Text);
        EXPECT_EQ(row.Control->TabOrder, row.TabOrder);
        EXPECT_EQ(row.Control->Anchors, row.Anchors);
    }
    EXPECT_EQ(dialog.tbTO->Min(), 50);
    EXPECT_EQ(dialog.tbTO->Max(), 1000);
    EXPECT_EQ(dialog.tbTO->LineSize, 25);
    EXPECT_EQ(dialog.tbTO->PageSize, 100);
    EXPECT_EQ(dialog.tbTO->Frequency, 50);
    EXPECT_EQ(dialog.tbTO->ThumbLength, 16);
    EXPECT_EQ(dialog.btnOk->ModalResult, ui::mrOk);
    EXPECT_EQ(dialog.btnCancel->ModalResult, ui::mrCancel);
}

TEST_F(SettingsDialogTest, TimeOutLoadsClampsAndStepsWithItsLabel) {
    TfmKBSettings dialog(Device());
    EXPECT_EQ(dialog.TimeOut(), 65);
    dialog.tbTO->LineStep(1);
    EXPECT_EQ(dialog.TimeOut(), 90);
    EXPECT_EQ(dialog.lbTO->Text, A(u"90 мс."));
    dialog.tbTO->SetPosition(65);
    dialog.tbTO->LineStep(-1);
    EXPECT_EQ(dialog.TimeOut(), 50) << "40 is clamped";
    EXPECT_EQ(dialog.lbTO->Text, A(u"50 мс."));
    dialog.tbTO->PageStep(3);
    EXPECT_EQ(dialog.lbTO->Text, A(u"350 мс."));

    EXPECT_EQ(TfmKBSettings(Device("a", "b", "c", 5000)).TimeOut(), 1000);
    EXPECT_EQ(TfmKBSettings(Device("a", "b", "c", 10)).TimeOut(), 50);
    TKBSettingsValues broken = Device();
    broken.ReadHookTimeOut = []() -> int {
        throw rtl::EConvertError("'abc' is not a valid integer value");
    };
    TfmKBSettings fallback(broken);
    EXPECT_EQ(fallback.TimeOut(), 50) << "a time-out that is not an integer stays at 50";
    EXPECT_EQ(fallback.lbTO->Text, A(u"50 мс."));
    EXPECT_EQ(fallback.Identifier(), "Scanner1") << "the other values still load";
}

TEST_F(SettingsDialogTest, OkReturnsEveryValueAndCancelNothing) {
    User.Type("edIdentif", "Desk 7")
        .Type("edPref", "\x02")
        .Type("edPost", "\r\n")
        .Then([](ui::TForm& form) {
            auto& dialog = static_cast<TfmKBSettings&>(form);
            form.UserTrack(*dialog.tbTO, dialog.tbTO->Position() + dialog.tbTO->LineSize);
        })
        .Click("btnOk");
    TKBSettingsChoice choice;
    EXPECT_EQ(ShowKBSettings(Device(), choice, &User), 0);
    EXPECT_EQ(choice.Identifier, "Desk 7");
    EXPECT_EQ(choice.Prefix, "\x02");
    EXPECT_EQ(choice.Suffix, "\r\n");
    EXPECT_EQ(choice.TimeOut, 90);
    EXPECT_TRUE(User.Messages.empty());

    // Cancel with every field emptied: no message, and nothing comes back.
    TKBSettingsChoice untouched{"keep", "keep", "keep", 123};
    User.Type("edIdentif", "").Type("edPref", "").Type("edPost", "").Click("btnCancel");
    EXPECT_EQ(ShowKBSettings(Device(), untouched, &User), -1);
    EXPECT_TRUE(User.Messages.empty());
    EXPECT_EQ(untouched.Identifier, "keep");
    EXPECT_EQ(untouched.TimeOut, 123);
    EXPECT_EQ(User.StepsLeft(), 0u);
}

TEST_F(SettingsDialogTest, EmptyIdentifierOnOkShowsOneMessageAndStays) {
    bool stillOpen = false;
    User.Type("edIdentif", "")
        .Type("edPref", "")
        .Click("btnOk")
        .Then(
            [&](ui::TForm& form) { stillOpen = !form.Closed() && form.ModalResult == ui::mrNone; })
        .Cancel();
    TKBSettingsChoice choice;
    EXPECT_EQ(ShowKBSettings(Device(), choice, &User), -1);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{A(u"Идентификатор устройства пустой!")});
    EXPECT_EQ(User.Messages[0].Flags, ui::MB_OK | ui::MB_ICONERROR);
    EXPECT_EQ(User.Messages[0].Caption, A(u"Настройка"));
}

TEST_F(SettingsDialogTest, TheFirstEmptyFieldIsNamedAndFocused) {
    std::string focused;
    User.Type("edPref", "")
        .Type("edPost", "")
        .Click("btnOk")
        .Then([&](ui::TForm& form) { focused = form.Focused()->Name(); })
        .Type("edPref", "P")
        .Click("btnOk")
        .Then([&](ui::TForm& form) { focused += "," + form.Focused()->Name(); })
        .Type("edPost", "S")
        .Click("btnOk");
    TKBSettingsChoice choice;
    EXPECT_EQ(ShowKBSettings(Device(), choice, &User), 0);
    const std::vector<std::string> expected{A(u"Преффикс - не может быть пустым!"),
                                            A(u"Постфикс - не может быть пустым!")};
    EXPECT_EQ(MessageTexts(), expected) << "one message per refused OK, later empty fields silent";
    EXPECT_EQ(focused, "edPref,edPost");
    EXPECT_EQ(choice.Prefix, "P");
    EXPECT_EQ(choice.Suffix, "S");
}

TEST_F(SettingsDialogTest, EscapeAndTheCloseBoxSkipEveryCheck) {
    User.Type("edIdentif", "").Cancel();
    TKBSettingsChoice choice;
    EXPECT_EQ(ShowKBSettings(Device(), choice, &User), -1);
    // A close request with a result other than Cancel is checked like OK.
    User.Type("edPost", "").Then([](ui::TForm& form) {
        form.ModalResult = ui::mrOk;
        form.UserFocus(*form.FindControl("edIdentif"));
    });
    EXPECT_EQ(ShowKBSettings(Device(), choice, &User), -1) << "refused, then the steps ran out";
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{A(u"Постфикс - не может быть пустым!")});
}

TEST_F(SettingsDialogTest, AUserWhoLeavesWithoutClosingCancels) {
    TKBSettingsChoice choice{"keep", "", "", 7};
    test::TScriptedBackend silent;
    silent.Type("edIdentif", "changed");
    EXPECT_EQ(ShowKBSettings(Device(), choice, &silent), -1);
    EXPECT_EQ(choice.Identifier, "keep");
    EXPECT_EQ(choice.TimeOut, 7);
}

TEST_F(SettingsDialogTest, ColoursArePaintedOnlyWhenSet) {
    {
        TfmKBSettings plain(Device());
        EXPECT_EQ(plain.Color, ui::clBtnFace);
        EXPECT_EQ(plain.gbParameters->Color, ui::clBtnFace);
        EXPECT_EQ(plain.lbPref->Font.Color, ui::clWindowText);
        EXPECT_EQ(plain.btnOk->Font.Color, ui::clWindowText);
    }
    SetColorForm(0x00112233);
    SetColorFont(0x000000FF);
    TfmKBSettings painted(Device());
    EXPECT_EQ(painted.Color, 0x00112233);
    EXPECT_EQ(painted.gbParameters->Color, ui::clBtnFace) << "ColorBody is not set";
    EXPECT_EQ(painted.gbParameters->Font.Color, 0x000000FF);
    for (ui::TControl* label :
         {static_cast<ui::TControl*>(painted.lbIdentif), static_cast<ui::TControl*>(painted.lbPref),
          static_cast<ui::TControl*>(painted.lbPostf),
          static_cast<ui::TControl*>(painted.lbTimeOut), static_cast<ui::TControl*>(painted.lbTO)})
        EXPECT_EQ(label->Font.Color, 0x000000FF) << label->Name();
    EXPECT_EQ(painted.btnOk->Font.Color, 0x000000FF);
    EXPECT_EQ(painted.btnCancel->Font.Color, 0x000000FF);
    EXPECT_EQ(painted.edIdentif->Font.Color, ui::clWindowText) << "edits keep their colours";
    EXPECT_EQ(painted.edIdentif->Color, ui::clWindow);
    EXPECT_EQ(painted.tbTO->Color, ui::clBtnFace);
    SetColorBody(0x00ABCDEF);
    EXPECT_EQ(TfmKBSettings(Device()).gbParameters->Color, 0x00ABCDEF);
}

} // namespace
} // namespace quill::capture
