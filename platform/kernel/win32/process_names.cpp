// The Windows side of process_names.h. Every module carries its own copy of the run-time here, so
// the names live where every module of the process sees them and nothing outside it does: a name is
// claimed by registering an application-global window class of that name (the system lets one
// module of the process have it, atomically), and the text published under it is a variable of
// the process's environment. Each module remembers which of the names it registered belongs to
// which holder; only that module lets a name go or publishes under it.
#include "platform/kernel/process_names.h"

#include "platform/kernel/codepage.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace quill::kernel {

namespace {

struct TClaims {
    std::mutex Lock;
    std::map<std::string, const void*, std::less<>> Holders;
};

// Made at the first use and never destroyed: modules unload in any order against the run-time
// library's static destructors.
TClaims& Claims() {
    static TClaims* claims = new TClaims;
    return *claims;
}

std::wstring Wide(std::string_view text) {
    const std::u16string wide = AnsiToWide(text);
    return std::wstring(wide.begin(), wide.end());
}

// The module this copy of the run-time is part of: it owns the classes registered here.
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<const wchar_t*>(&Claims), &module);
    return module;
}

bool Held(const std::wstring& name) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return ::GetClassInfoExW(ThisModule(), name.c_str(), &info) != 0;
}

} // namespace

bool ClaimProcessName(std::string_view name, const void* holder) {
    const std::wstring wide = Wide(name);
    TClaims& claims = Claims();
    std::lock_guard guard(claims.Lock);
    WNDCLASSEXW kind{};
    kind.cbSize = sizeof kind;
    kind.style = CS_GLOBALCLASS;
    kind.lpfnWndProc = ::DefWindowProcW;
    kind.hInstance = ThisModule();
    kind.lpszClassName = wide.c_str();
    if (!::RegisterClassExW(&kind)) return false;
    // A text that an earlier holder left behind is not this holder's.
    ::SetEnvironmentVariableW(wide.c_str(), nullptr);
    claims.Holders[std::string(name)] = holder;
    return true;
}

void ReleaseProcessName(std::string_view name, const void* holder) {
    TClaims& claims = Claims();
    std::lock_guard guard(claims.Lock);
    const auto it = claims.Holders.find(name);
    if (it == claims.Holders.end() || it->second != holder) return;
    const std::wstring wide = Wide(name);
    ::SetEnvironmentVariableW(wide.c_str(), nullptr);
    ::UnregisterClassW(wide.c_str(), ThisModule());
    claims.Holders.erase(it);
}

bool PublishProcessText(std::string_view name, const void* holder, std::string text) {
    TClaims& claims = Claims();
    std::lock_guard guard(claims.Lock);
    const auto it = claims.Holders.find(name);
    if (it == claims.Holders.end() || it->second != holder) return false;
    return ::SetEnvironmentVariableW(Wide(name).c_str(), Wide(text).c_str()) != 0;
}

std::string ProcessText(std::string_view name) {
    const std::wstring wide = Wide(name);
    if (!Held(wide)) return {};
    std::wstring text(32767, L'\0');
    const DWORD n =
        ::GetEnvironmentVariableW(wide.c_str(), text.data(), static_cast<DWORD>(text.size()));
    if (n == 0 || n >= text.size()) return {};
    text.resize(n);
    return WideToAnsi(std::u16string(text.begin(), text.end()));
}

} // namespace quill::kernel
