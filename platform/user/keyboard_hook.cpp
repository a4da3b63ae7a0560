#include "platform/user/keyboard_hook.h"

#include "platform/kernel/last_error.h"
#include "platform/user/hook_chain.h"
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

using detail::THook;
using detail::THookList;

// A thread's hooks and the queue of the thread they were installed for.
struct TChain {
    std::weak_ptr<TMessageQueue> Queue; // tells a thread that ended from one that reuses its id
    std::shared_ptr<const THookList> Hooks;
};

struct THookRegistry {
    std::mutex Lock;
    std::unordered_map<DWORD, TChain> Chains;
    detail::THookHandles Handles;
    // Raised, with Lock held, at every change of Chains: a thread keeps the hooks it looked up
    // while this stays as it was, and needs no lock for each key.
    std::atomic<std::uint64_t> Version{1};
};

THookRegistry& Registry() {
    static THookRegistry* registry = new THookRegistry; // outlives threads that end during exit
    return *registry;
}

// Forgets the chain of `threadId` when it was left by an ended thread (whose id `queue`'s thread
// may now reuse): its hooks are never to be called. Returns the chain that stays, or nil.
TChain* LiveChain(THookRegistry& registry, DWORD threadId, const TMessageQueue& queue) {
    const auto it = registry.Chains.find(threadId);
    if (it == registry.Chains.end()) return nullptr;
    if (it->second.Queue.lock().get() == &queue) return &it->second;
    registry.Handles.Drop(*it->second.Hooks);
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
    if (!detail::HookAllowed(hookKind, proc, threadId)) return nullptr;
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
    const TChain* live = LiveChain(registry, threadId, *queue);
    auto hooks = detail::WithHook(hook, live ? live->Hooks.get() : nullptr);
    TChain& chain = registry.Chains[threadId];
    chain.Queue = queue;
    chain.Hooks = std::move(hooks);
    ++registry.Version;
    return registry.Handles.Add(std::move(hook));
}

BOOL UnhookWindowsHookEx(HHOOK handle) {
    THookRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    const std::shared_ptr<THook> hook = registry.Handles.Take(handle);
    if (!hook) return FALSE;
    if (const auto chain = registry.Chains.find(hook->ThreadId); chain != registry.Chains.end()) {
        if (auto rest = detail::WithoutHook(*chain->second.Hooks, *hook))
            chain->second.Hooks = std::move(rest);
        else
            registry.Chains.erase(chain);
        ++registry.Version;
    }
    return TRUE;
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
    const bool discard = RunHookChain(*hooks, removing ? HC_ACTION : HC_NOREMOVE, msg.wParam,
                                      msg.lParam, nullptr, nullptr) != 0;
    // A message discarded by a retrieval that does not remove it leaves the queue all the same.
    if (discard && !removing) ApplyKeyMessage(msg);
    return discard;
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
