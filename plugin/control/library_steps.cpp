#include "plugin/control/library_steps.h"

#include "infra/log/log_module.h"

#include <exception>
#include <string>

namespace quill::plugin {

void RunLibrarySteps(std::string_view phase, std::span<const TLibraryStep> steps) noexcept {
    for (const TLibraryStep& step : steps) {
        std::string_view reason;
        std::string message;
        try {
            step.Run();
            continue;
        } catch (const std::exception& e) {
            try {
                message = e.what();
                reason = message;
            } catch (...) {
                reason = "out of memory";
            }
        } catch (...) {
            reason = "unknown failure";
        }
        try {
            infra::LogError(std::string(phase) + ": " + std::string(step.Name), reason);
        } catch (...) {
            // Out of memory: the line is lost, the next step still runs.
        }
    }
}

} // namespace quill::plugin
