#include "infra/log/log_line.h"

namespace quill::infra {

bool IsErrorLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Time, thread id, thread name and module name come first, each ended by a tab.
    for (int field = 0; field < 4; ++field) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return false;
        line.remove_prefix(tab + 1);
    }
    // The indent: tabs before the subject.
    const std::size_t subject = line.find_first_not_of('\t');
    if (subject == std::string_view::npos) return false;
    line.remove_prefix(subject);
    const std::size_t end = line.find('\t');
    return end != std::string_view::npos && line.substr(0, end) == kErrorSubject;
}

} // namespace quill::infra
