#include "infra/root/root_object.h"

#include "infra/codes/coded_exception.h"
#include "platform/com/apartment.h"
#include "platform/com/errorinfo.h"
#include "platform/com/running_object_table.h"
#include "platform/kernel/security.h"
#include "platform/user/message_queue.h"
#include "platform/user/window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace quill::infra {
namespace {

// An object that answers the running-object interface, with a real reference count.
class TActiveThing : public com::IUnknown {
  public:
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** out) override {
        if (iid != com::IUnknown::Guid && iid != RootObjectInterfaceId) return com::E_NOINTERFACE;
        *out = this;
        AddRef();
        return com::S_OK;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    com::ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    com::ULONG Refs = 0;
};

class TPublishedRoot : public TRootObject {
  public:
    explicit TPublishedRoot(TActiveThing& thing) : TRootObject(nullptr), Thing(thing) {}
    TActiveThing& Thing;
    int Seen = 0;

  protected:
    void* GetInterface(com::REFIID iid) override {
        if (iid == RootObjectInterfaceId) return static_cast<com::IUnknown*>(&Thing);
        return TRootObject::GetInterface(iid);
    }
    user::LRESULT WndProc(user::UINT message, user::WPARAM w, user::LPARAM l) override {
        if (message == user::WM_USER) {
            ++Seen;
            throw std::runtime_error("handler failed");
        }
        return TRootObject::WndProc(message, w, l);
    }
};

TEST(RootObject, PreparesRecordsOpenToEveryoneAndATopLevelWindow) {
    std::thread([] {
        TRootObject root(nullptr);
        ASSERT_TRUE(root.SecurityAttributes);
        EXPECT_EQ(root.SecurityAttributes->nLength, sizeof(kernel::SECURITY_ATTRIBUTES));
        EXPECT_EQ(root.SecurityAttributes->lpSecurityDescriptor, root.SecurityDescriptor.get());
        EXPECT_EQ(root.SecurityAttributes->bInheritHandle, 0);
        EXPECT_TRUE(kernel::GrantsEveryone(root.SecurityAttributes.get()));
        EXPECT_FALSE(root.HandleAllocated());
        const user::HWND hwnd = root.Handle();
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(root.Handle(), hwnd);
        EXPECT_EQ(user::GetWindowStyle(hwnd) & user::WS_CHILD, 0u);
        EXPECT_EQ(user::GetWindowThreadProcessId(hwnd, nullptr), user::GetCurrentThreadId());
        EXPECT_FALSE(root.EventSink);
    }).join();
}

// The running-object table is the system's on Windows: a thread joins COM before it uses it, as
// the host's threads do.
struct TComThread {
    TComThread() { com::CoInitializeEx(nullptr, com::COINIT_APARTMENTTHREADED); }
    ~TComThread() { com::CoUninitialize(); }
};

TEST(RootObject, WithoutTheInterfaceNothingIsRegistered) {
    std::thread([] {
        TComThread joined;
        TRootObject root(nullptr);
        user::SendMessageA(root.Handle(), user::WM_GETOBJECT, 0, 0);
        com::IUnknown* found = nullptr;
        EXPECT_EQ(com::GetActiveObject(RootObjectInterfaceId, nullptr, &found),
                  com::MK_E_UNAVAILABLE);
        com::IUnknown* out = reinterpret_cast<com::IUnknown*>(1);
        EXPECT_EQ(root.GetObjectInterface(&out), com::E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(com::TakeErrorDescription(), u"Interface not supported");
        void* self = nullptr;
        ASSERT_EQ(root.QueryInterface(IRootObject::Guid, &self), com::S_OK);
        EXPECT_EQ(self, static_cast<IRootObject*>(&root));
    }).join();
}

TEST(RootObject, MessageRegistersTheInterfaceUntilTheObjectGoes) {
    TActiveThing thing;
    std::thread([&] {
        TComThread joined;
        {
            TPublishedRoot root(thing);
            user::PostMessageA(root.Handle(), user::WM_GETOBJECT, 0, 0);
            user::MSG msg{};
            ASSERT_TRUE(user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE));
            user::DispatchMessageA(&msg);
            com::IUnknown* found = nullptr;
            ASSERT_EQ(com::GetActiveObject(RootObjectInterfaceId, nullptr, &found), com::S_OK);
            EXPECT_EQ(found, &thing);
            found->Release();
            EXPECT_GE(thing.Refs, 1u); // the table's strong reference (the system's may hold more)
            com::IUnknown* direct = nullptr;
            EXPECT_EQ(root.GetObjectInterface(&direct), com::S_OK);
            direct->Release();
            // A failing handler does not escape into the message loop.
            EXPECT_EQ(user::SendMessageA(root.Handle(), user::WM_USER, 0, 0), 0);
            EXPECT_EQ(root.Seen, 1);
        }
        com::IUnknown* found = nullptr;
        EXPECT_EQ(com::GetActiveObject(RootObjectInterfaceId, nullptr, &found),
                  com::MK_E_UNAVAILABLE);
        EXPECT_EQ(thing.Refs, 0u);
    }).join();
}

TEST(RootObject, RaisesCodedErrors) {
    TRootObject root(nullptr);
    try {
        root.RaiseErrorText("broken");
        FAIL();
    } catch (const ECodedException& e) {
        EXPECT_EQ(e.Code, 20000);
        EXPECT_EQ(e.Message(), "broken");
    }
    EXPECT_THROW(root.RaiseError(20036, {"x"}), ECodedException);
}

TEST(RootObject, DestroyedOnAnotherThreadItsWindowNoLongerReachesIt) {
    std::atomic<user::HWND> hwnd{nullptr};
    std::atomic<int> step{0};
    TRootObject* root = nullptr;
    std::thread owner([&] {
        root = new TRootObject(nullptr);
        hwnd = root->Handle();
        step = 1;
        while (step != 2)
            std::this_thread::yield();
        user::MSG msg{};
        ASSERT_TRUE(user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE));
        EXPECT_EQ(user::DispatchMessageA(&msg), 0);
    });
    while (step != 1)
        std::this_thread::yield();
    delete root;
    user::PostMessageA(hwnd, user::WM_GETOBJECT, 0, 0);
    step = 2;
    owner.join();
}

} // namespace
} // namespace quill::infra
