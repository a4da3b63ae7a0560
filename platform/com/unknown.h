// IUnknown and the one smart pointer type that holds interface references.
//
// An interface is an abstract class whose virtual methods come in the documented slot order,
// starting with QueryInterface, AddRef and Release. Interfaces have no virtual destructor: an
// object is freed by its own Release, never by deleting an interface pointer. No C++ exception may
// leave an interface method; failures become an HRESULT plus the per-thread error information.
//
// Every interface names its identifier as the static member `Guid`.
#pragma once

#include "platform/com/com_types.h"

#include <utility>

namespace quill::com {

class IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("00000000-0000-0000-C000-000000000046");
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

  protected:
    ~IUnknown() = default;
};

// Counted reference to an interface. Copying adds a reference; destruction releases it.
// Not thread-safe as an object (like any smart pointer); the reference count itself is.
template <class T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new counted reference to `p` (AddRef).
    explicit ComPtr(T* p) : FPtr(p) {
        if (FPtr) FPtr->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.FPtr) {}
    ComPtr(ComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.Get())) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Adopts a reference that the caller already owns (no AddRef).
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.FPtr = p;
        return r;
    }
    // Queries `source` for T; empty when `source` is nil or lacks the interface.
    template <class U> static ComPtr QueryFrom(U* source) {
        ComPtr r;
        if (source) source->QueryInterface(T::Guid, reinterpret_cast<void**>(&r.FPtr));
        return r;
    }
    template <class U> static ComPtr QueryFrom(const ComPtr<U>& source) {
        return QueryFrom(source.Get());
    }

    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    T& operator*() const { return *FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    // Gives up ownership without releasing; the caller now owns the reference.
    T* Detach() { return std::exchange(FPtr, nullptr); }
    void Reset() {
        if (T* p = std::exchange(FPtr, nullptr)) p->Release();
    }
    // Releases what is held and hands out the address for an out parameter.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &FPtr;
    }
    void Swap(ComPtr& other) noexcept { std::swap(FPtr, other.FPtr); }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.FPtr == b.FPtr; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.FPtr == nullptr; }

  private:
    T* FPtr = nullptr;
};

} // namespace quill::com
