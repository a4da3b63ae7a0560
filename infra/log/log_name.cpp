#include "infra/log/log_name.h"

#include "infra/log/log_folder.h"
#include "platform/kernel/module.h"
#include "platform/kernel/system_info.h"

namespace quill::infra {

namespace {

std::string LogNameOf(std::string stem, std::string_view computer, long session) {
    stem += '_';
    stem += computer;
    stem += '_';
    stem += std::to_string(session < 0 ? kUnknownSession : session);
    stem += ".log";
    if (stem.size() > kMaxLogName) return {};
    return stem;
}

} // namespace

std::string ComputerName() {
    std::string name;
    return kernel::GetComputerNameA(&name) ? name : std::string();
}

long ProcessSessionNumber() {
    std::uint32_t session = 0;
    if (!kernel::ProcessIdToSessionId(kernel::GetCurrentProcessId(), &session))
        return kUnknownSession;
    return static_cast<long>(session);
}

std::string WithoutExtension(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(path);
    return std::string(path.substr(0, dot));
}

std::string ModuleBaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return WithoutExtension(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string MakeLogName(std::string_view folder, std::string_view modulePath,
                        std::string_view computer, long session) {
    return LogNameOf(std::string(folder) + ModuleBaseName(modulePath), computer, session);
}

std::string HostLogName(std::string_view modulePath) {
    const std::string folder = LogFolder();
    if (folder.empty()) return {};
    return MakeLogName(folder, modulePath, ComputerName(), ProcessSessionNumber());
}

std::string OwnLogName() {
    const std::string program = kernel::ProgramFileName();
    if (program.empty()) return {};
    return LogNameOf(WithoutExtension(program), ComputerName(), ProcessSessionNumber());
}

} // namespace quill::infra
