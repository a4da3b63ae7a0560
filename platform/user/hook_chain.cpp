#include "platform/user/hook_chain.h"

#include "platform/kernel/last_error.h"

#include <algorithm>

namespace quill::user::detail {

namespace {

// The chain call running on this thread: CallNextHookEx continues after Current.
struct TChainCall {
    const THookList* Hooks;
    std::size_t Current;
    TChainEnd End;
    void* Context;
};
thread_local TChainCall* tCall = nullptr;

// Calls the first hook at or after `from` that is still installed; past the last, the chain's end.
LRESULT CallFrom(TChainCall& call, std::size_t from, int code, WPARAM wParam, LPARAM lParam) {
    for (std::size_t i = from; i < call.Hooks->size(); ++i) {
        const THook& hook = *(*call.Hooks)[i];
        if (hook.Removed.load()) continue;
        struct TRestore {
            TChainCall& Call;
            std::size_t Saved;
            ~TRestore() { Call.Current = Saved; }
        } restore{call, call.Current};
        call.Current = i;
        return hook.Proc(code, wParam, lParam);
    }
    return call.End ? call.End(call.Context, code, wParam, lParam) : 0;
}

} // namespace

std::shared_ptr<const THookList> WithHook(std::shared_ptr<THook> hook, const THookList* rest) {
    auto hooks = std::make_shared<THookList>();
    hooks->push_back(std::move(hook));
    if (rest) hooks->insert(hooks->end(), rest->begin(), rest->end());
    return hooks;
}

std::shared_ptr<const THookList> WithoutHook(const THookList& hooks, const THook& hook) {
    auto rest = std::make_shared<THookList>(hooks);
    std::erase_if(*rest, [&](const auto& h) { return h.get() == &hook; });
    if (rest->empty()) return nullptr;
    return rest;
}

bool HookAllowed(int hookKind, HOOKPROC proc, DWORD threadId) {
    DWORD error = 0;
    if (hookKind != WH_KEYBOARD)
        error = ERROR_INVALID_HOOK_FILTER;
    else if (threadId == 0)
        error = ERROR_NOT_SUPPORTED;
    else if (!proc)
        error = ERROR_INVALID_FILTER_PROC;
    if (error) kernel::SetLastError(error);
    return error == 0;
}

HHOOK THookHandles::Add(std::shared_ptr<THook> hook) {
    const auto handle = reinterpret_cast<HHOOK>(FNextHandle++);
    FHandles.emplace(handle, std::move(hook));
    return handle;
}

std::shared_ptr<THook> THookHandles::Take(HHOOK handle) {
    const auto it = FHandles.find(handle);
    if (it == FHandles.end()) {
        kernel::SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return nullptr;
    }
    std::shared_ptr<THook> hook = std::move(it->second);
    FHandles.erase(it);
    hook->Removed = true;
    return hook;
}

void THookHandles::Drop(const THookList& hooks) {
    for (const auto& hook : hooks) {
        hook->Removed = true;
        std::erase_if(FHandles, [&](const auto& entry) { return entry.second == hook; });
    }
}

LRESULT RunHookChain(const THookList& hooks, int code, WPARAM wParam, LPARAM lParam, TChainEnd end,
                     void* context) {
    TChainCall call{&hooks, 0, end, context};
    struct TRestore {
        TChainCall* Saved;
        ~TRestore() { tCall = Saved; }
    } restore{tCall};
    tCall = &call;
    return CallFrom(call, 0, code, wParam, lParam);
}

} // namespace quill::user::detail

namespace quill::user {

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam) {
    using detail::tCall;
    if (!tCall) return 0;
    return detail::CallFrom(*tCall, tCall->Current + 1, code, wParam, lParam);
}

} // namespace quill::user
