#include "infra/log/log_module.h"

#include "infra/log/log_folder.h"
#include "infra/log/log_line.h"
#include "infra/log/log_name.h"
#include "platform/kernel/module.h"
#include "platform/kernel/system_info.h"

namespace quill::infra {

TLogModule::TLogModule(std::string modulePath, TLogClock clock, unsigned lockWait)
    : FModulePath(std::move(modulePath)), FClock(std::move(clock)), FLockWait(lockWait) {}

TLogModule::~TLogModule() {
    Shutdown();
}

void TLogModule::Startup() noexcept {
    if (FLog || FHost) return; // started already
    try {
        FLogIndent = 0;
        // Without the log folder there is neither a place for the files nor a write lock, and
        // writing beside the program instead would scatter files where no one looks.
        if (LogFolder().empty()) return;
        FHost = TLogHost::Elect();
        if (FHost) {
            FLogName = HostLogName(FModulePath);
            // Should publishing fail, the host still logs; later modules then log on their own.
            if (!FLogName.empty()) FHost->Publish(FLogName);
        } else {
            FLogName = FindPublishedLogName();
            if (FLogName.empty()) FLogName = OwnLogName();
        }
        if (FLogName.empty()) return;
        FLog = std::make_unique<TLog>(WithoutExtension(FLogName), FModulePath, IsHost(), FClock,
                                      FLockWait);
        if (CurrentThreadId() == kernel::MainThreadId())
            FLog->RegisterThread(CurrentThreadId(), "MainThread");
    } catch (...) {
        // Out of memory at load: the module runs without a log.
        FLog.reset();
    }
}

void TLogModule::Shutdown() noexcept {
    if (FLog) Write("LogThread", "Terminate", 0);
    FLog.reset();
    FHost.reset();
}

void TLogModule::Write(std::string_view subject, std::string_view text, int indentDelta) noexcept {
    if (!FLog) return;
    if (indentDelta < 0) FLogIndent += indentDelta;
    try {
        FLog->AddLine(FLog->MakeLine(subject, text, FLogIndent));
    } catch (...) {
        // A line that cannot even be built is lost; the caller carries on.
    }
    if (indentDelta > 0) FLogIndent += indentDelta;
}

void TLogModule::WriteError(std::string_view step, std::string_view reason) noexcept {
    if (!FLog) return;
    try {
        std::string text(step);
        text += ": ";
        text += reason;
        Write(kErrorSubject, text, 0);
    } catch (...) {
        // Out of memory: the line is lost, the caller carries on.
    }
}

namespace {

// The module's log state: made at the first use, freed by LogShutdown. A plain pointer, so that
// nothing of it is left to the static destructors, whose order against the module destructor
// that shuts the log down is not fixed.
TLogModule*& Instance() {
    static TLogModule* instance = nullptr;
    return instance;
}

TLogModule& ThisModule() {
    TLogModule*& instance = Instance();
    if (!instance)
        instance =
            new TLogModule(kernel::ModuleFileNameOf(reinterpret_cast<const void*>(&LogStartup)));
    return *instance;
}

} // namespace

void LogStartup() noexcept {
    try {
        ThisModule().Startup();
    } catch (...) {
    }
}

void LogShutdown() noexcept {
    try {
        ThisModule().Shutdown();
    } catch (...) {
    }
    delete Instance();
    Instance() = nullptr;
}

void LogWrite(std::string_view subject, std::string_view text, int indentDelta) noexcept {
    try {
        ThisModule().Write(subject, text, indentDelta);
    } catch (...) {
    }
}

void LogError(std::string_view step, std::string_view reason) noexcept {
    try {
        ThisModule().WriteError(step, reason);
    } catch (...) {
    }
}

} // namespace quill::infra
