// Fault injection: a switch for tests that makes the platform's Nth allocation, file open, read,
// write, fsync, rename or lock fail, so that a test can walk N over every step of an operation and
// check what each failure leaves behind.
//
// The platform's routines that allocate (BSTRs, safe arrays, raw heap blocks) and that touch files
// ask FaultInjected before they call the system; when it answers with an error number they fail
// exactly as they would had the system refused (errno set, nil or a failure result). A test's own
// replacement of the global operator new asks too, so that C++ allocations count as well.
//
// Off, which is the normal state, the question costs one relaxed atomic load. Armed, occurrences
// are counted on the thread that armed the switch only (other threads are never failed); the Nth
// fails, and with `persistent` every later one too, until DisarmFaults. Arming and disarming are
// for one test thread at a time.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace quill::kernel {

enum class TFaultKind : unsigned { Allocation, Open, Write, Fsync, Rename, Lock, Read };
constexpr unsigned FaultKindCount = 7;

// Makes the `nth` (from 1) next occurrence of `kind` on this thread fail with `error` (errno
// value); with `persistent`, every one after it as well. Replaces an earlier arming of `kind`.
void ArmFault(TFaultKind kind, std::uint64_t nth, int error, bool persistent = false);
// Every kind back to normal.
void DisarmFaults();
// How many occurrences of `kind` failed since it was armed.
std::uint64_t FaultsFired(TFaultKind kind);
// How many occurrences of `kind` were counted since it was armed (failed ones included).
std::uint64_t FaultsCounted(TFaultKind kind);

// The switch that inline checks read in every module: exported, so not a hidden detail.
namespace fault_switch {
extern std::atomic<unsigned> gFaultsArmed;
int CountFault(TFaultKind kind) noexcept;
} // namespace fault_switch

// 0 when this occurrence of `kind` may go ahead, else the error number it must fail with.
inline int FaultInjected(TFaultKind kind) noexcept {
    if (fault_switch::gFaultsArmed.load(std::memory_order_relaxed) == 0) [[likely]]
        return 0;
    return fault_switch::CountFault(kind);
}

// The default error of each kind: what the system reports when it runs out of the resource.
constexpr int DefaultFaultError(TFaultKind kind) {
    switch (kind) {
    case TFaultKind::Allocation:
        return ENOMEM;
    case TFaultKind::Open:
        return EACCES;
    case TFaultKind::Write:
        return ENOSPC;
    case TFaultKind::Fsync:
        return EIO;
    case TFaultKind::Rename:
        return EXDEV;
    case TFaultKind::Lock:
        return ENOLCK;
    case TFaultKind::Read:
        return EIO;
    }
    return EIO;
}

} // namespace quill::kernel
