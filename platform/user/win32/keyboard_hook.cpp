// Keyboard hooks on Windows: one system thread hook per hooked thread, in front of a chain of the
// procedures installed for it (newest first), so that while they run the contract's view of the
// key holds on every system (win32/hooked_key.h). The system calls the chain inside the thread's
// message retrieval, as the contract describes; the chain's end hands the key to the system's
// next hook.
#include "platform/user/keyboard_hook.h"

#include "platform/user/win32/hooked_key.h"
#include "platform/user/win32/user_system.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quill::user {

namespace {

struct THook {
    HOOKPROC Proc;
    DWORD ThreadId;
    std::atomic<bool> Removed{false};
};

using THookList = std::vector<std::shared_ptr<THook>>;

// A thread's hooks, newest first; the list is replaced, never changed in place, so a running chain
// keeps the list it started with.
struct TChain {
    ::HHOOK System = nullptr;
    std::shared_ptr<const THookList> Hooks;
};

struct THookRegistry {
    std::mutex Lock;
    std::unordered_map<DWORD, TChain> Chains;
    std::unordered_map<HHOOK, std::shared_ptr<THook>> Handles;
    std::uintptr_t NextHandle = 0x20000;
};

THookRegistry& Registry() {
    static THookRegistry* registry = new THookRegistry; // outlives threads that end during exit
    return *registry;
}

// The chain call running on this thread: CallNextHookEx continues after Current.
struct TChainCall {
    const THookList* Hooks;
    std::size_t Current;
    ::HHOOK System;
    win32::THookedKey Key;
};
thread_local TChainCall* tCall = nullptr;

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
    return ::CallNextHookEx(call.System, code, wParam, lParam);
}

::LRESULT CALLBACK ChainEntry(int code, ::WPARAM wParam, ::LPARAM lParam) {
    std::shared_ptr<const THookList> hooks;
    ::HHOOK system = nullptr;
    {
        THookRegistry& registry = Registry();
        std::lock_guard guard(registry.Lock);
        if (const auto it = registry.Chains.find(::GetCurrentThreadId());
            it != registry.Chains.end()) {
            hooks = it->second.Hooks;
            system = it->second.System;
        }
    }
    if (code < 0 || !hooks) return ::CallNextHookEx(system, code, wParam, lParam);
    TChainCall call{hooks.get(), 0, system, {wParam, lParam}};
    struct TRestore {
        TChainCall* Saved;
        ~TRestore() { tCall = Saved; }
    } restore{tCall};
    tCall = &call;
    try {
        return CallFrom(call, 0, code, wParam, lParam);
    } catch (...) {
        // It must not cross the system's frames, which would end the process: a procedure that
        // fails passes the key on.
        return ::CallNextHookEx(system, code, wParam, lParam);
    }
}

} // namespace

namespace win32 {

const THookedKey* HookedKey() {
    return tCall ? &tCall->Key : nullptr;
}

} // namespace win32

HHOOK SetWindowsHookExA(int hookKind, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    // Only thread keyboard hooks, on every system: a system-wide hook would load the module into
    // every other process.
    if (hookKind != WH_KEYBOARD) {
        ::SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (threadId == 0) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!proc) {
        ::SetLastError(ERROR_INVALID_FILTER_PROC);
        return nullptr;
    }
    if (threadId == ::GetCurrentThreadId()) win32::EnsureQueue();
    auto hook = std::make_shared<THook>();
    hook->Proc = proc;
    hook->ThreadId = threadId;

    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    TChain& chain = registry.Chains[threadId];
    if (!chain.System) {
        chain.System = ::SetWindowsHookExA(WH_KEYBOARD, &ChainEntry,
                                           static_cast<::HINSTANCE>(module), threadId);
        if (!chain.System) {
            const ::DWORD error = ::GetLastError();
            registry.Chains.erase(threadId);
            ::SetLastError(error);
            return nullptr;
        }
    }
    auto hooks = std::make_shared<THookList>();
    hooks->push_back(hook);
    if (chain.Hooks) hooks->insert(hooks->end(), chain.Hooks->begin(), chain.Hooks->end());
    chain.Hooks = std::move(hooks);
    const auto handle = reinterpret_cast<HHOOK>(registry.NextHandle++);
    registry.Handles.emplace(handle, std::move(hook));
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK handle) {
    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    const auto it = registry.Handles.find(handle);
    if (it == registry.Handles.end()) {
        ::SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    const std::shared_ptr<THook> hook = std::move(it->second);
    registry.Handles.erase(it);
    hook->Removed = true;
    if (const auto chain = registry.Chains.find(hook->ThreadId); chain != registry.Chains.end()) {
        auto hooks = std::make_shared<THookList>(*chain->second.Hooks);
        std::erase(*hooks, hook);
        if (hooks->empty()) {
            ::UnhookWindowsHookEx(chain->second.System);
            registry.Chains.erase(chain);
        } else {
            chain->second.Hooks = std::move(hooks);
        }
    }
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam) {
    if (!tCall) return 0;
    return CallFrom(*tCall, tCall->Current + 1, code, wParam, lParam);
}

} // namespace quill::user
