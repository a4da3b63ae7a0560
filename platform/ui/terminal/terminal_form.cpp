#include "platform/ui/terminal/terminal_form.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <istream>
#include <ostream>

namespace quill::ui {

namespace {

// The labels on the control's row to its left, in their order from the left: its caption.
std::string RowCaption(const TForm& form, const TControl& control) {
    std::vector<const TControl*> labels;
    std::vector<const TControl*> pending{&form};
    while (!pending.empty()) {
        const TControl* parent = pending.back();
        pending.pop_back();
        for (const auto& child : parent->Controls()) {
            pending.push_back(child.get());
            if (child->Kind() != TControlKind::Label) continue;
            const int middle = child->FormTop() + child->Height / 2;
            if (middle >= control.FormTop() && middle <= control.FormTop() + control.Height &&
                child->FormLeft() + child->Width <= control.FormLeft())
                labels.push_back(child.get());
        }
    }
    std::sort(labels.begin(), labels.end(),
              [](const TControl* a, const TControl* b) { return a->FormLeft() < b->FormLeft(); });
    std::string caption;
    for (const TControl* label : labels) {
        if (!caption.empty()) caption += ' ';
        caption += label->Text;
    }
    return caption;
}

// The nearest group box that holds the control, or null.
const TControl* GroupOf(const TControl& control) {
    for (const TControl* c = control.Parent(); c; c = c->Parent()) {
        if (c->Kind() == TControlKind::GroupBox) return c;
    }
    return nullptr;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

} // namespace

std::string TTerminalForm::Show(const std::string& ansi) {
    std::string escaped;
    for (char c : ansi) {
        switch (c) {
        case '\r':
            escaped += "\\r";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        default:
            escaped += c;
            break;
        }
    }
    return kernel::AnsiToUtf8(escaped);
}

std::string TTerminalForm::Parse(const std::string& utf8) {
    const std::string ansi = kernel::Utf8ToAnsi(utf8);
    std::string text;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        if (ansi[i] != '\\' || i + 1 == ansi.size()) {
            text += ansi[i];
            continue;
        }
        const char next = ansi[++i];
        switch (next) {
        case 'r':
            text += '\r';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case '\\':
            text += '\\';
            break;
        default: // not an escape: both characters stand
            text += '\\';
            text += next;
            break;
        }
    }
    return text;
}

bool TTerminalForm::ReadLine(std::string& line) {
    if (!std::getline(FIn, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void TTerminalForm::Render(TForm& form) {
    FOut << "\n== " << Show(form.Text) << " ==\n";
    const std::vector<TControl*> stops = form.TabStops();
    const TControl* group = nullptr;
    std::string buttons;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const TControl& control = *stops[i];
        const std::string number = std::to_string(i + 1);
        const char* mark = form.Focused() == &control ? "*" : " ";
        if (control.Kind() == TControlKind::Button) {
            buttons += std::string(mark) + number + ") [" + Show(control.Text) + "]  ";
            continue;
        }
        if (const TControl* now = GroupOf(control); now != group) {
            group = now;
            if (group) FOut << " --" << Show(group->Text) << "--\n";
        }
        const std::string indent = group ? "   " : " ";
        FOut << indent << mark << number << ") " << Show(RowCaption(form, control));
        if (control.Kind() == TControlKind::Edit) {
            FOut << " [" << Show(control.Text) << "]\n";
        } else {
            const auto& bar = static_cast<const TTrackBar&>(control);
            FOut << "  " << bar.Min() << " .. " << bar.Max() << "  (+/- " << bar.LineSize
                 << ", ++/-- " << bar.PageSize << ")\n";
        }
    }
    if (!buttons.empty()) FOut << ' ' << buttons << '\n';
    FOut << "> " << std::flush;
}

bool TTerminalForm::EditControl(TForm& form, TControl& control) {
    std::string line;
    switch (control.Kind()) {
    case TControlKind::Edit:
        FOut << Show(RowCaption(form, control)) << " " << std::flush;
        if (!ReadLine(line)) return false;
        form.UserSetText(static_cast<TEdit&>(control), Parse(line));
        return true;
    case TControlKind::TrackBar: {
        auto& bar = static_cast<TTrackBar&>(control);
        FOut << Show(RowCaption(form, control)) << " " << std::flush;
        if (!ReadLine(line)) return false;
        line = Trim(line);
        int value = 0;
        if (line == "+")
            form.UserTrack(bar, bar.Position() + bar.LineSize);
        else if (line == "-")
            form.UserTrack(bar, bar.Position() - bar.LineSize);
        else if (line == "++")
            form.UserTrack(bar, bar.Position() + bar.PageSize);
        else if (line == "--")
            form.UserTrack(bar, bar.Position() - bar.PageSize);
        else if (ParseInt(line, value))
            form.UserTrack(bar, value);
        return true;
    }
    case TControlKind::Button:
        form.UserClick(static_cast<TButton&>(control));
        return true;
    default:
        return true;
    }
}

bool TTerminalForm::Execute(TForm& form, const std::string& answer) {
    const std::string command = Trim(answer);
    if (command.empty()) return true;
    if (kernel::SameTextLatin(command, "esc")) {
        form.UserCancel();
        return true;
    }
    const std::vector<TControl*> stops = form.TabStops();
    int number = 0;
    if (ParseInt(command, number)) {
        if (number >= 1 && static_cast<std::size_t>(number) <= stops.size())
            return EditControl(form, *stops[static_cast<std::size_t>(number - 1)]);
        return true;
    }
    const std::string ansi = kernel::Utf8ToAnsi(command);
    for (TControl* control : stops) {
        if (control->Kind() == TControlKind::Button && kernel::AnsiSameText(control->Text, ansi))
            return EditControl(form, *control);
    }
    return true;
}

TModalResult TTerminalForm::RunModal(TForm& form) {
    std::string line;
    while (!form.Closed()) {
        Render(form);
        if (!ReadLine(line) || !Execute(form, line)) {
            // The end of the input: the user is gone, as if the window had been closed.
            form.UserCancel();
            break;
        }
    }
    FOut << std::endl;
    return form.ModalResult;
}

int TTerminalForm::MessageBox(TForm*, const std::string& text, const std::string& caption,
                              unsigned) {
    FOut << "\n-- " << Show(caption) << " --\n" << Show(text) << "\n[OK] " << std::flush;
    std::string line;
    ReadLine(line);
    return IDOK;
}

} // namespace quill::ui
