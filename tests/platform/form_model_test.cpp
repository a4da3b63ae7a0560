// The form model: track bar range and steps, tab order, the modal show with its close query, and
// the choice of backend.
#include "platform/ui/form_backend.h"
#include "support/scripted_backend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace quill::ui {
namespace {

using test::TScriptedBackend;

// A small dialog: an edit, a group with an edit and a track bar, OK and Cancel.
struct TSample {
    TForm Form;
    TEdit* Name;
    TGroupBox* Group;
    TEdit* Inner;
    TTrackBar* Bar;
    TLabel* Caption;
    TButton* Ok;
    TButton* Cancel;
    TSample() {
        Form.Font.Name = "Tahoma";
        Name = Form.Add<TEdit>("Name");
        Name->TabOrder = 0;
        Group = Form.Add<TGroupBox>("Group");
        Group->SetBounds(8, 40, 200, 100);
        Group->TabOrder = 1;
        Bar = Group->Add<TTrackBar>("Bar");
        Bar->SetBounds(10, 60, 100, 20);
        Bar->TabOrder = 1; // added first, but second in tab order
        Inner = Group->Add<TEdit>("Inner");
        Inner->TabOrder = 0;
        Caption = Group->Add<TLabel>("Caption");
        Ok = Form.Add<TButton>("Ok");
        Ok->ModalResult = mrOk;
        Ok->TabOrder = 2;
        Cancel = Form.Add<TButton>("Cancel");
        Cancel->ModalResult = mrCancel;
        Cancel->TabOrder = 3;
    }
};

TEST(TrackBar, ClampsToItsRangeAndReportsOnlyRealMoves) {
    TTrackBar bar("Bar");
    int changes = 0;
    bar.OnChange = [&] { ++changes; };
    bar.SetRange(50, 1000);
    EXPECT_EQ(bar.Position(), 50) << "the range pulls the position in";
    EXPECT_EQ(changes, 1);
    bar.SetPosition(65);
    bar.LineStep(1);
    EXPECT_EQ(bar.Position(), 66);
    bar.LineSize = 25;
    bar.PageSize = 100;
    bar.LineStep(-1);
    EXPECT_EQ(bar.Position(), 50) << "41 is clamped";
    changes = 0;
    bar.LineStep(-1);
    bar.SetPosition(50);
    EXPECT_EQ(changes, 0) << "no change, no event";
    bar.PageStep(20);
    EXPECT_EQ(bar.Position(), 1000);
    bar.SetRange(10, 5);
    EXPECT_EQ(bar.Max(), 10);
    EXPECT_EQ(bar.Position(), 10);
}

TEST(FormModel, TreePositionsFontsAndTabOrder) {
    TSample s;
    EXPECT_EQ(s.Bar->OwnerForm(), &s.Form);
    EXPECT_EQ(s.Bar->Parent(), s.Group);
    EXPECT_EQ(s.Bar->FormLeft(), 18);
    EXPECT_EQ(s.Bar->FormTop(), 100);
    EXPECT_EQ(s.Inner->Font.Name, "Tahoma") << "children start with the parent's font";
    EXPECT_EQ(s.Form.FindControl("Caption"), s.Caption);
    EXPECT_EQ(s.Form.FindControl("Missing"), nullptr);
    const std::vector<TControl*> expected{s.Name, s.Inner, s.Bar, s.Ok, s.Cancel};
    EXPECT_EQ(s.Form.TabStops(), expected);
    s.Form.SetFocus(s.Cancel);
    EXPECT_EQ(s.Form.NextTabStop(false), s.Name) << "wraps around";
    s.Form.SetFocus(s.Name);
    EXPECT_EQ(s.Form.NextTabStop(true), s.Cancel);
    s.Form.SetFocus(s.Caption);
    EXPECT_EQ(s.Form.Focused(), s.Name) << "a label cannot take the focus";
}

TEST(FormModel, ModalShowAcceptsAResultOnlyWhenTheCloseQueryAgrees) {
    TSample s;
    TScriptedBackend user;
    int queries = 0;
    bool allow = false;
    s.Form.OnCloseQuery = [&](bool& canClose) {
        ++queries;
        canClose = allow;
    };
    s.Form.ActiveControl = s.Cancel;
    TControl* focusAtStart = nullptr;
    user.Then([&](TForm& form) { focusAtStart = form.Focused(); })
        .Click("Ok")
        .Then([&](TForm& form) {
            EXPECT_EQ(form.ModalResult, mrNone) << "a refused close clears the result";
            EXPECT_FALSE(form.Closed());
            allow = true;
        })
        .Click("Ok");
    EXPECT_EQ(s.Form.ShowModal(&user), mrOk);
    EXPECT_EQ(focusAtStart, s.Cancel);
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(user.StepsLeft(), 0u);
    EXPECT_FALSE(s.Form.Showing());
}

TEST(FormModel, EscapeEnterAndAUserWhoWalksAway) {
    TSample s;
    TScriptedBackend user;
    user.Cancel();
    EXPECT_EQ(s.Form.ShowModal(&user), mrCancel);

    // Enter clicks the focused button, else the default one.
    s.Ok->Default = true;
    user.Then([&](TForm& form) { form.UserFocus(*s.Name); }).Then([](TForm& form) {
        form.UserEnter();
    });
    EXPECT_EQ(s.Form.ShowModal(&user), mrOk);
    s.Form.ActiveControl = s.Cancel;
    user.Then([](TForm& form) { form.UserEnter(); });
    EXPECT_EQ(s.Form.ShowModal(&user), mrCancel);

    // Steps that run out without closing: cancelled, never a stale OK.
    user.Type("Name", "typed");
    EXPECT_EQ(s.Form.ShowModal(&user), mrCancel);
    EXPECT_EQ(s.Name->Text, "typed");
}

TEST(FormModel, MessagesGoToTheBackendThatShowsTheForm) {
    TSample s;
    TScriptedBackend user;
    s.Ok->OnClick = [&] {
        EXPECT_EQ(s.Form.MessageBox("text", "caption", MB_OK | MB_ICONERROR), IDOK);
    };
    user.Click("Ok");
    s.Form.ShowModal(&user);
    ASSERT_EQ(user.Messages.size(), 1u);
    EXPECT_EQ(user.Messages[0].Text, "text");
    EXPECT_EQ(user.Messages[0].Caption, "caption");
    EXPECT_EQ(user.Messages[0].Flags, MB_ICONERROR);
    EXPECT_EQ(user.Messages[0].FocusedName, "Ok");
}

// Runs `body` with DISPLAY unset and standard input on `fd`.
template <class F> void WithStdin(int fd, F body) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    const int stdinCopy = dup(STDIN_FILENO);
    dup2(fd, STDIN_FILENO);
    body();
    dup2(stdinCopy, STDIN_FILENO);
    close(stdinCopy);
    if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(FormBackendChoice, WithoutDisplayOrTerminalTheDialogCountsAsCancelled) {
    const int null = open("/dev/null", O_RDONLY);
    ASSERT_GE(null, 0);
    WithStdin(null, [] {
        EXPECT_EQ(CurrentFormBackend(), nullptr);
        TSample s;
        bool clicked = false;
        s.Ok->OnClick = [&] { clicked = true; };
        EXPECT_EQ(s.Form.ShowModal(), mrCancel);
        EXPECT_FALSE(clicked);
        EXPECT_EQ(s.Form.MessageBox("x", "y", MB_OK), 0) << "nobody to show it to";
    });
    close(null);
}

TEST(FormBackendChoice, ATerminalOnStandardInputGetsTheTerminalForm) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    WithStdin(slave, [] {
        ASSERT_NE(CurrentFormBackend(), nullptr);
        EXPECT_STREQ(CurrentFormBackend()->Name(), "terminal");
        TScriptedBackend user;
        TSample s;
        user.Click("Ok");
        EXPECT_EQ(s.Form.ShowModal(&user), mrOk) << "a given backend comes first";
        EXPECT_EQ(user.Shows, 1);
    });
    close(slave);
    close(master);
}

} // namespace
} // namespace quill::ui
