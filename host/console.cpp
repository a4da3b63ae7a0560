#include "host/console.h"

namespace quill::host {

void TConsole::EndEcho() {
    if (!FEchoOpen) return;
    std::fputs(NewLine(), FOut);
    FEchoOpen = false;
    FEchoLength = 0;
    std::fflush(FOut);
}

void TConsole::Line(std::string_view text) {
    EndEcho();
    std::fwrite(text.data(), 1, text.size(), FOut);
    std::fputs(NewLine(), FOut);
    std::fflush(FOut);
}

void TConsole::Echo(char c) {
    if (c == '\r' || c == '\n') {
        if (!FEchoOpen) std::fputs("typed: ", FOut);
        FEchoOpen = true;
        EndEcho();
        return;
    }
    if (c == '\b') {
        if (FEchoOpen && FEchoLength > 0) {
            std::fputs("\b \b", FOut);
            --FEchoLength;
            std::fflush(FOut);
        }
        return;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return; // control keys make no visible text
    if (!FEchoOpen) {
        std::fputs("typed: ", FOut);
        FEchoOpen = true;
    }
    std::fputc(c, FOut);
    ++FEchoLength;
    std::fflush(FOut);
}

} // namespace quill::host
