#include "platform/user/keyboard_hook.h"

#include "platform/kernel/last_error.h"
#include "platform/user/key_state.h"
#include "platform/user/user_state_impl.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quill::user {

using detail::TMessageQueue;

namespace {

struct THook {
    HOOKPROC Proc;
    DWORD ThreadId;
    std::atomic<bool> Removed{false};
};

using THookList = std::vector<std::shared_ptr<THook>>;

// A thread's hooks, newest first. The list is replaced, never changed in place, so a running
// chain keeps the list it started with.
struct TChain {
    std::weak_ptr<TMessageQueue> Queue; // tells a thread that ended from one that reuses its id
    std::shared_ptr<const THookList> Hooks;
};

struct THookRegistry {
    std::mutex Lock;
    std::unordered_map<DWORD, TChain> Chains;
    std::unordered_map<HHOOK, std::shared_ptr<THook>> Handles;
    std::uintptr_t NextHandle = 0x20000;
    // Raised, with Lock held, at every change of Chains: a thread keeps the hooks it looked up
    // while this stays as it was, and needs no lock for each key.
    std::atomic<std::uint64_t> Version{1};
};

THookRegistry& Registry() {
    static THookRegistry* registry = new THookRegistry; // outlives threads that end during exit
    return *registry;
}

// The chain call running on this thread: CallNextHookEx continues after Current.
struct TChainCall {
    const THookList* Hooks;
    std::size_t Current;
};
thread_local TChainCall* tCall = nullptr;

// Calls the first hook of `hooks` at or after `from` that is still installed; 0 when none is.
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
    return 0;
}

// Forgets the chain of `threadId` when it was left by an ended thread (whose id `queue`'s thread
// may now reuse): its hooks are never to be called. Returns the chain that stays, or nil.
TChain* LiveChain(THookRegistry& registry, DWORD threadId, const TMessageQueue& queue) {
    const auto it = registry.Chains.find(threadId);
    if (it == registry.Chains.end()) return nullptr;
    if (it->second.Queue.lock().get() == &queue) return &it->second;
    for (const auto& hook : *it->second.Hooks) {
        hook->Removed = true;
        std::erase_if(registry.Handles, [&](const auto& entry) { return entry.second == hook; });
    }
    registry.Chains.erase(it);
    ++registry.Version;
    return nullptr;
}

// The hooks of the calling thread, whose queue is `queue`; nil when it has none.
// The queue keeps the list it was given until the registry changes.
std::shared_ptr<const THookList> HooksOfThisThread(TMessageQueue& queue) {
    THookRegistry& registry = Registry();
    if (queue.HooksVersion != registry.Version.load()) {
        std::lock_guard guard(registry.Lock);
        const TChain* chain = LiveChain(registry, queue.ThreadId, queue);
        queue.Hooks = chain ? chain->Hooks : nullptr;
        queue.HooksVersion = registry.Version.load(); // what was read is as of this version
    }
    return std::static_pointer_cast<const THookList>(queue.Hooks);
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

} // namespace

HHOOK SetWindowsHookExA(int hookKind, HOOKPROC proc, HINSTANCE, DWORD threadId) {
    if (hookKind != WH_KEYBOARD) {
        kernel::SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (threadId == 0) {
        kernel::SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!proc) {
        kernel::SetLastError(ERROR_INVALID_FILTER_PROC);
        return nullptr;
    }
    const auto queue =
        threadId == GetCurrentThreadId() ? detail::CurrentQueue() : detail::QueueOfThread(threadId);
    if (!queue) {
        kernel::SetLastError(ERROR_INVALID_THREAD_ID);
        return nullptr;
    }
    auto hook = std::make_shared<THook>();
    hook->Proc = proc;
    hook->ThreadId = threadId;

    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    auto hooks = std::make_shared<THookList>();
    hooks->push_back(hook);
    if (const TChain* live = LiveChain(registry, threadId, *queue))
        hooks->insert(hooks->end(), live->Hooks->begin(), live->Hooks->end());
    TChain& chain = registry.Chains[threadId];
    chain.Queue = queue;
    chain.Hooks = std::move(hooks);
    ++registry.Version;
    const auto handle = reinterpret_cast<HHOOK>(registry.NextHandle++);
    registry.Handles.emplace(handle, std::move(hook));
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK handle) {
    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    const auto it = registry.Handles.find(handle);
    if (it == registry.Handles.end()) {
        kernel::SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    const std::shared_ptr<THook> hook = std::move(it->second);
    registry.Handles.erase(it);
    hook->Removed = true;
    if (const auto chain = registry.Chains.find(hook->ThreadId); chain != registry.Chains.end()) {
        auto hooks = std::make_shared<THookList>(*chain->second.Hooks);
        std::erase(*hooks, hook);
        if (hooks->empty())
            registry.Chains.erase(chain);
        else
            chain->second.Hooks = std::move(hooks);
        ++registry.Version;
    }
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam) {
    if (!tCall) return 0;
    return CallFrom(*tCall, tCall->Current + 1, code, wParam, lParam);
}

namespace [[gnu::visibility("hidden")]] detail {

bool KeyboardRetrievalStage(MSG& msg, bool removing, void*) {
    if (!IsKeyMessage(msg.message)) return false;
    TMessageQueue& queue = ThisQueue();
    // Hooks ask for the word and time of the message they are called for.
    queue.LastExtraInfo = msg.extraInfo;
    queue.LastTime = msg.time;
    if (removing) ApplyKeyMessage(msg);

    // Held for the call: a hook may install or remove hooks, which replaces the cached list.
    const auto hooks = HooksOfThisThread(queue);
    if (!hooks) return false;
    TChainCall call{hooks.get(), 0};
    struct TRestore {
        TChainCall* Saved;
        ~TRestore() { tCall = Saved; }
    } restore{tCall};
    tCall = &call;
    const bool discard =
        CallFrom(call, 0, removing ? HC_ACTION : HC_NOREMOVE, msg.wParam, msg.lParam) != 0;
    // A message discarded by a retrieval that does not remove it leaves the queue all the same.
    if (discard && !removing) ApplyKeyMessage(msg);
    return discard;
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
