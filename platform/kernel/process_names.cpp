#include "platform/kernel/process_names.h"

#include <map>
#include <mutex>

namespace quill::kernel {

namespace {

struct TClaim {
    const void* Holder = nullptr;
    std::string Text;
};

struct TNames {
    std::mutex Lock;
    std::map<std::string, TClaim, std::less<>> Claims;
};

// Made at the first use and never destroyed: modules unload in any order against the run-time
// library's static destructors.
TNames& Names() {
    static TNames* names = new TNames;
    return *names;
}

} // namespace

bool ClaimProcessName(std::string_view name, const void* holder) {
    TNames& names = Names();
    std::lock_guard guard(names.Lock);
    return names.Claims.try_emplace(std::string(name), TClaim{holder, {}}).second;
}

void ReleaseProcessName(std::string_view name, const void* holder) {
    TNames& names = Names();
    std::lock_guard guard(names.Lock);
    const auto it = names.Claims.find(name);
    if (it != names.Claims.end() && it->second.Holder == holder) names.Claims.erase(it);
}

bool PublishProcessText(std::string_view name, const void* holder, std::string text) {
    TNames& names = Names();
    std::lock_guard guard(names.Lock);
    const auto it = names.Claims.find(name);
    if (it == names.Claims.end() || it->second.Holder != holder) return false;
    it->second.Text = std::move(text);
    return true;
}

std::string ProcessText(std::string_view name) {
    TNames& names = Names();
    std::lock_guard guard(names.Lock);
    const auto it = names.Claims.find(name);
    return it == names.Claims.end() ? std::string() : it->second.Text;
}

} // namespace quill::kernel
