#include "platform/kernel/critical_section.h"

#include <stdexcept>

namespace quill::kernel {

namespace {
std::recursive_mutex& LockOf(CRITICAL_SECTION* section) {
    if (!section || !section->Lock) throw std::logic_error("critical section not initialised");
    return *section->Lock;
}
} // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    if (section) section->Lock = std::make_unique<std::recursive_mutex>();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    if (section) section->Lock.reset();
}

void EnterCriticalSection(CRITICAL_SECTION* section) { LockOf(section).lock(); }
bool TryEnterCriticalSection(CRITICAL_SECTION* section) { return LockOf(section).try_lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { LockOf(section).unlock(); }

} // namespace quill::kernel
