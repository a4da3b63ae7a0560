// Critical sections: recursive locks within one process.
//
// InitializeCriticalSection must come before any other use and DeleteCriticalSection after the
// last; the owning thread may enter again, and leaves as often as it entered. Entering a section
// that was never initialised (or was deleted) raises std::logic_error rather than touching freed
// memory.
#pragma once

#include <memory>
#include <mutex>

namespace quill::kernel {

struct CRITICAL_SECTION {
    std::unique_ptr<std::recursive_mutex> Lock;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
bool TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

} // namespace quill::kernel
