// TRootObject: the window-backed object at the root of the driver object.
//
// It is a component with an owner (not owned by it) and a name, and owns a top-level window of its
// own (made on first use of Handle, on the calling thread, which then owns it) whose messages reach
// the virtual WndProc. Window message 0x3D asks the object for the interface
// RootObjectInterfaceId and, when it answers, registers that interface in the process's
// running-object table under the same identifier; the registrations are revoked when the object
// is destroyed, so the table never refers to a freed object. No class of this library answers that
// interface itself: a descendant or another module may.
//
// At construction it prepares security records open to every user (a descriptor with a present,
// nil access list) for kernel objects that descendants make; a failure there aborts construction
// with "InitializeSecurityDescriptor\r\n" or "SetSecurityDescriptorDacl\r\n" and the platform's
// message. EventSink holds the host's event interface once the driver object receives it.
//
// IRootObject's reference counting is the component's own and never frees the object: its owner
// does. The object belongs to the thread that made its window; destroy it there (elsewhere the
// window is detached from the object and left to its thread's end).
#pragma once

#include "quill/host.h"
#include "platform/kernel/security.h"
#include "platform/rtl/format.h"
#include "platform/rtl/object.h"
#include "platform/user/user_types.h"

#include <memory>
#include <string>
#include <vector>

namespace quill::infra {

// The interface that message 0x3D registers in the running-object table (also its class id there).
constexpr com::GUID RootObjectInterfaceId = com::MakeGuid("0A1B06F1-BFF2-4B10-9B5B-159937A1F35B");

class IRootObject : public com::IUnknown {
  public:
    static constexpr com::GUID Guid = com::MakeGuid("7C2F5833-8F25-4298-B7DE-C8CBAFB80F53");
    // The object's RootObjectInterfaceId interface, or E_NOINTERFACE (with the error description
    // "Interface not supported") when it has none.
    virtual com::HRESULT STDMETHODCALLTYPE GetObjectInterface(com::IUnknown** object) = 0;

  protected:
    ~IRootObject() = default;
};

class TRootObject : public rtl::TObject, public IRootObject {
  public:
    explicit TRootObject(rtl::TObject* owner);
    TRootObject(const TRootObject&) = delete;
    TRootObject& operator=(const TRootObject&) = delete;
    ~TRootObject() override;
    std::string_view ClassName() const override;

    rtl::TObject* Owner() const { return FOwner; }
    std::string Name;

    // The object's window, made on first use.
    user::HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }

    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override;
    com::ULONG STDMETHODCALLTYPE Release() override;
    com::HRESULT STDMETHODCALLTYPE GetObjectInterface(com::IUnknown** object) override;

    [[noreturn]] void RaiseError(std::int32_t code, const rtl::FormatArgs& arguments);
    [[noreturn]] void RaiseErrorText(const std::string& text);
    // EventSink := none; never fails.
    void ReleaseEventSink() noexcept;

    std::unique_ptr<kernel::SECURITY_ATTRIBUTES> SecurityAttributes;
    std::unique_ptr<kernel::SECURITY_DESCRIPTOR> SecurityDescriptor;
    com::ComPtr<IEventSupport2> EventSink;

  protected:
    struct TCreateParams {
        std::string Caption;
        user::DWORD Style;
        user::DWORD ExStyle;
        user::HWND Parent;
    };
    // The windowed control's parameters (a child window); the root object removes the child style.
    virtual void CreateParams(TCreateParams& params);
    // The interface pointer for `iid`, or nil: IUnknown and IRootObject here.
    virtual void* GetInterface(com::REFIID iid);
    // Handles one message of the window; the default handling for anything not handled here.
    virtual user::LRESULT WndProc(user::UINT message, user::WPARAM wParam, user::LPARAM lParam);
    void InitSecurity();

  private:
    static user::LRESULT CALLBACK WindowProcedure(user::HWND hwnd, user::UINT message,
                                                  user::WPARAM wParam, user::LPARAM lParam);
    void RegisterInRunningObjectTable();

    rtl::TObject* FOwner;
    user::HWND FHandle = nullptr;
    std::vector<com::DWORD> FRegistrations;
};

} // namespace quill::infra
