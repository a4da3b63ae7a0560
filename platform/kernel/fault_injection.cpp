#include "platform/kernel/fault_injection.h"

#include <thread>

namespace quill::kernel {

namespace fault_switch {
std::atomic<unsigned> gFaultsArmed{0};
}

namespace {

struct TFaultPlan {
    bool Armed = false;
    std::uint64_t Nth = 0;
    int Error = 0;
    bool Persistent = false;
    std::uint64_t Counted = 0;
    std::uint64_t Fired = 0;
};

// Touched only by the arming thread: other threads return before they read it.
TFaultPlan gPlans[FaultKindCount];
std::atomic<std::thread::id> gArmingThread{};

TFaultPlan& PlanOf(TFaultKind kind) {
    return gPlans[static_cast<unsigned>(kind)];
}

} // namespace

void ArmFault(TFaultKind kind, std::uint64_t nth, int error, bool persistent) {
    TFaultPlan& plan = PlanOf(kind);
    if (!plan.Armed) fault_switch::gFaultsArmed.fetch_add(1, std::memory_order_relaxed);
    plan = {true, nth, error, persistent, 0, 0};
    gArmingThread.store(std::this_thread::get_id(), std::memory_order_release);
}

void DisarmFaults() {
    for (TFaultPlan& plan : gPlans)
        plan.Armed = false;
    fault_switch::gFaultsArmed.store(0, std::memory_order_release);
}

std::uint64_t FaultsFired(TFaultKind kind) {
    return PlanOf(kind).Fired;
}

std::uint64_t FaultsCounted(TFaultKind kind) {
    return PlanOf(kind).Counted;
}

int fault_switch::CountFault(TFaultKind kind) noexcept {
    if (gArmingThread.load(std::memory_order_acquire) != std::this_thread::get_id()) return 0;
    TFaultPlan& plan = PlanOf(kind);
    if (!plan.Armed) return 0;
    ++plan.Counted;
    if (plan.Counted < plan.Nth || (plan.Counted > plan.Nth && !plan.Persistent)) return 0;
    ++plan.Fired;
    return plan.Error;
}

} // namespace quill::kernel
