// Walks a fault over an operation, the way an embedded database's fault tests walk every
// allocation: for N = 1, 2, ... the Nth occurrence of the fault kind fails while the operation
// runs, and the test's check states what must hold afterwards; the walk ends with the first run
// in which the fault no longer fires (the operation had fewer than N occurrences).
#pragma once

#include "platform/kernel/fault_injection.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <string>

namespace quill::faults {

// What one run of the operation came to.
struct TOutcome {
    int Step = 0;        // N
    bool Fired = false;  // the fault happened in this run
    bool Failed = false; // the operation raised
    std::string Message; // what it raised
};

// Runs `operation` with the Nth `kind` failing, for every N the operation reaches; `prepare` runs
// before each run with nothing armed, `check` gets each outcome. Returns how many steps the fault
// fired at.
inline int WalkFaults(kernel::TFaultKind kind, const std::function<void()>& prepare,
                      const std::function<void()>& operation,
                      const std::function<void(const TOutcome&)>& check, int limit = 20000) {
    int fired = 0;
    for (int n = 1; n <= limit; ++n) {
        TOutcome outcome;
        outcome.Step = n;
        if (prepare) prepare();
        kernel::ArmFault(kind, static_cast<std::uint64_t>(n), kernel::DefaultFaultError(kind));
        try {
            operation();
        } catch (const std::exception& e) {
            outcome.Failed = true;
            outcome.Message = e.what();
        } catch (...) {
            outcome.Failed = true;
            outcome.Message = "(not a std::exception)";
        }
        outcome.Fired = kernel::FaultsFired(kind) > 0;
        kernel::DisarmFaults();
        check(outcome);
        if (!outcome.Fired) break;
        ++fired;
        if (testing::Test::HasFatalFailure()) break;
    }
    return fired;
}

} // namespace quill::faults
