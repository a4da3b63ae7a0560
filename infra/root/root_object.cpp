#include "infra/root/root_object.h"

#include "infra/codes/coded_exception.h"
#include "platform/com/errorinfo.h"
#include "platform/com/running_object_table.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/system_info.h"
#include "platform/user/window.h"

#include <mutex>

namespace quill::infra {

namespace {

constexpr const char* WindowClassName = "TRootObject";
constexpr user::DWORD WS_CLIPSIBLINGS = 0x04000000;

[[noreturn]] void RaisePlatformError(const char* call) {
    throw rtl::Exception(std::string(call) + "\r\n" +
                         kernel::SysErrorMessage(kernel::GetLastError()));
}

} // namespace

TRootObject::TRootObject(rtl::TObject* owner)
    : SecurityAttributes(std::make_unique<kernel::SECURITY_ATTRIBUTES>()),
      SecurityDescriptor(std::make_unique<kernel::SECURITY_DESCRIPTOR>()), FOwner(owner) {
    InitSecurity();
}

TRootObject::~TRootObject() {
    ReleaseEventSink();
    for (const com::DWORD token : FRegistrations)
        com::RevokeActiveObject(token, nullptr);
    if (FHandle) {
        // Detached first, so that no message reaches the object after this point even when the
        // window cannot be destroyed from this thread.
        user::SetWindowLongPtrA(FHandle, user::GWLP_USERDATA, 0);
        user::DestroyWindow(FHandle);
    }
}

std::string_view TRootObject::ClassName() const {
    return "TRootObject";
}

void TRootObject::InitSecurity() {
    kernel::OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!kernel::GetVersionExA(&info) || info.dwPlatformId != kernel::VER_PLATFORM_WIN32_NT) return;
    SecurityAttributes->nLength = sizeof(kernel::SECURITY_ATTRIBUTES);
    SecurityAttributes->lpSecurityDescriptor = SecurityDescriptor.get();
    SecurityAttributes->bInheritHandle = 0;
    if (!kernel::InitializeSecurityDescriptor(SecurityDescriptor.get(),
                                              kernel::SECURITY_DESCRIPTOR_REVISION))
        RaisePlatformError("InitializeSecurityDescriptor");
    if (!kernel::SetSecurityDescriptorDacl(SecurityDescriptor.get(), 1, nullptr, 0))
        RaisePlatformError("SetSecurityDescriptorDacl");
}

void TRootObject::CreateParams(TCreateParams& params) {
    params.Caption = Name;
    params.Style = user::WS_CHILD | WS_CLIPSIBLINGS;
    params.ExStyle = 0;
    params.Parent = nullptr;
    // The root object is a top-level window without parent.
    params.Style &= ~user::WS_CHILD;
}

user::HWND TRootObject::Handle() {
    if (FHandle) return FHandle;
    static std::once_flag registered;
    std::call_once(registered, [] {
        const user::WNDCLASSA windowClass{0, &TRootObject::WindowProcedure, WindowClassName};
        user::RegisterClassA(&windowClass);
    });
    TCreateParams params{};
    CreateParams(params);
    FHandle = user::CreateWindowExA(params.ExStyle, WindowClassName, params.Caption.c_str(),
                                    params.Style, params.Parent, this);
    if (!FHandle) RaisePlatformError("CreateWindowEx");
    return FHandle;
}

user::LRESULT CALLBACK TRootObject::WindowProcedure(user::HWND hwnd, user::UINT message,
                                                    user::WPARAM wParam, user::LPARAM lParam) {
    if (message == user::WM_CREATE) {
        const auto* create = reinterpret_cast<const user::CREATESTRUCTA*>(lParam);
        user::SetWindowLongPtrA(hwnd, user::GWLP_USERDATA,
                                reinterpret_cast<user::LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TRootObject*>(user::GetWindowLongPtrA(hwnd, user::GWLP_USERDATA));
    if (!self) return user::DefWindowProcA(hwnd, message, wParam, lParam);
    try {
        return self->WndProc(message, wParam, lParam);
    } catch (...) {
        // The message loop that called us is the host's: a failure must not unwind into it.
        return 0;
    }
}

user::LRESULT TRootObject::WndProc(user::UINT message, user::WPARAM wParam, user::LPARAM lParam) {
    if (message == user::WM_GETOBJECT) {
        RegisterInRunningObjectTable();
        return 0;
    }
    return user::DefWindowProcA(FHandle, message, wParam, lParam);
}

void TRootObject::RegisterInRunningObjectTable() {
    com::ComPtr<com::IUnknown> object;
    if (com::FAILED(QueryInterface(RootObjectInterfaceId,
                                   reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()))))
        return;
    com::DWORD token = 0;
    if (com::SUCCEEDED(com::RegisterActiveObject(object.Get(), RootObjectInterfaceId,
                                                 com::ACTIVEOBJECT_STRONG, &token)))
        FRegistrations.push_back(token);
}

void* TRootObject::GetInterface(com::REFIID iid) {
    if (iid == com::IUnknown::Guid || iid == IRootObject::Guid)
        return static_cast<IRootObject*>(this);
    return nullptr;
}

com::HRESULT STDMETHODCALLTYPE TRootObject::QueryInterface(com::REFIID iid, void** object) {
    if (!object) return com::E_POINTER;
    *object = GetInterface(iid);
    if (!*object) return com::E_NOINTERFACE;
    static_cast<com::IUnknown*>(*object)->AddRef();
    return com::S_OK;
}

// The owner frees the object; references only mark use.
com::ULONG STDMETHODCALLTYPE TRootObject::AddRef() {
    return 1;
}
com::ULONG STDMETHODCALLTYPE TRootObject::Release() {
    return 1;
}

com::HRESULT STDMETHODCALLTYPE TRootObject::GetObjectInterface(com::IUnknown** object) {
    if (!object) return com::E_POINTER;
    const com::HRESULT hr = QueryInterface(RootObjectInterfaceId, reinterpret_cast<void**>(object));
    if (com::FAILED(hr)) {
        *object = nullptr;
        com::SetErrorDescription(u"Interface not supported");
    }
    return hr;
}

void TRootObject::RaiseError(std::int32_t code, const rtl::FormatArgs& arguments) {
    RaiseCodedError(code, arguments);
}

void TRootObject::RaiseErrorText(const std::string& text) {
    RaiseCodedError(codes::FreeText, {text});
}

void TRootObject::ReleaseEventSink() noexcept {
    // The field is cleared before the host's Release runs, so it is cleared even if that raises.
    try {
        EventSink = nullptr;
    } catch (...) {
    }
}

} // namespace quill::infra
