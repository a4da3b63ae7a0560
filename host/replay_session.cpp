#include "host/replay_session.h"

#include "platform/kernel/codepage.h"

#include <cstdio>

namespace quill::host {

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

TReplaySession::TReplaySession(TConsole& console, std::string file)
    : FConsole(console), FFile(std::move(file)),
      FPlayer([this](char16_t c) { Typed(c); },
              [this](const std::string& text) {
                  std::fprintf(stderr, "warning: %s: %s\n", FFile.c_str(), text.c_str());
              }) {}

std::string TReplaySession::Stamp() const {
    const std::uint64_t ms = FPlayer.ElapsedMs();
    char text[32];
    std::snprintf(text, sizeof text, "[%llu.%03llu] ", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

void TReplaySession::Typed(char16_t character) {
    const std::uint64_t now = FPlayer.ElapsedMs();
    if (!FTyped.empty() && now != FTypedAt) FlushTyped();
    if (FTyped.empty()) FTypedAt = now;
    FTyped.push_back(character);
}

void TReplaySession::FlushTyped() {
    if (FTyped.empty()) return;
    const std::uint64_t ms = FTypedAt;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%llu.%03llu] ", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    FConsole.Line(stamp + std::string("typed: ") + EscapeControls(kernel::WideToUtf8(FTyped)));
    FTyped.clear();
}

void TReplaySession::Event(std::string_view source, std::string_view name, std::string_view data) {
    FlushTyped();
    FConsole.Line(Stamp() + "event: source=" + std::string(source) + " name=" + std::string(name) +
                  " data=" + EscapeControls(data));
}

void TReplaySession::Run(const std::vector<TKeyEvent>& events, std::uint32_t settleMs) {
    for (const TKeyEvent& event : events) {
        FPlayer.Feed(event);
        FlushTyped();
    }
    FPlayer.Settle(settleMs);
    FlushTyped();
}

} // namespace quill::host
