#include "infra/log/log_host.h"

#include "infra/log/log_name.h"
#include "platform/kernel/process_names.h"
#include "platform/kernel/system_info.h"

#include <cstdio>

namespace quill::infra {

std::string LogHostName() {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%06lX",
                  static_cast<unsigned long>(kernel::GetCurrentProcessId()));
    return std::string("_com.pellam.baselog.host_") + buffer;
}

std::unique_ptr<TLogHost> TLogHost::Elect() {
    std::unique_ptr<TLogHost> host(new TLogHost(LogHostName()));
    if (!kernel::ClaimProcessName(host->FName, host.get())) return nullptr;
    return host;
}

TLogHost::~TLogHost() {
    kernel::ReleaseProcessName(FName, this);
}

bool TLogHost::Publish(const std::string& logName) {
    if (logName.empty() || logName.size() > kMaxLogName) return false;
    return kernel::PublishProcessText(FName, this, logName);
}

std::string FindPublishedLogName() {
    return kernel::ProcessText(LogHostName());
}

} // namespace quill::infra
