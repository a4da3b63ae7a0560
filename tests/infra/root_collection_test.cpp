#include "infra/root/root_collection.h"

#include "platform/com/errorinfo.h"
#include "platform/rtl/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace quill::infra {
namespace {

int gAlive = 0;

class IProbe : public com::IUnknown {
  public:
    static constexpr com::GUID Guid = com::MakeGuid("3C0D5E8A-1111-4222-8333-944455556666");
    virtual com::HRESULT STDMETHODCALLTYPE Fail() = 0;

  protected:
    ~IProbe() = default;
};

class TProbeItem : public TRootCollectionItem, public IProbe {
  public:
    explicit TProbeItem(rtl::TCollection* c) : TRootCollectionItem(c) { ++gAlive; }
    ~TProbeItem() override { --gAlive; }
    QUILL_FORWARD_IUNKNOWN(TRootCollectionItem)
    com::HRESULT STDMETHODCALLTYPE Fail() override {
        return SafeCall([] { throw rtl::Exception("broken"); });
    }

  protected:
    void* GetInterface(com::REFIID iid) override {
        if (iid == IProbe::Guid) return static_cast<IProbe*>(this);
        return TRootCollectionItem::GetInterface(iid);
    }
};

// An event sink that only counts its references.
class CountingSink : public TEventSupportBase {
  public:
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID, void**) override {
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    com::ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    com::HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR, GUID*) override { return 0; }
    com::HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch**) override { return com::E_NOTIMPL; }
    com::HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t*) override {
        return com::E_NOTIMPL;
    }
    com::ULONG Refs = 0;
};

TEST(CollectionItemInterface, ReleaseToZeroFreesAndLeavesTheCollection) {
    TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
    auto* item = static_cast<TProbeItem*>(list.Add());
    list.Add();
    EXPECT_EQ(item->RefCount(), 1);
    EXPECT_EQ(item->AddRef(), 2u);
    EXPECT_EQ(item->Release(), 1u);
    EXPECT_EQ(static_cast<com::IUnknown*>(static_cast<TRootCollectionItem*>(item))->Release(), 0u);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(gAlive, 1);
}

TEST(CollectionItemInterface, DetachKeepsItemForOutsideHolderAndReleasesOnce) {
    gAlive = 0;
    TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
    auto* item = static_cast<TProbeItem*>(list.Add());
    IProbe* held = nullptr;
    ASSERT_EQ(static_cast<TRootCollectionItem*>(item)->QueryInterface(
                  IProbe::Guid, reinterpret_cast<void**>(&held)),
              com::S_OK);
    EXPECT_EQ(item->RefCount(), 2);
    item->Detach();
    item->Detach();
    EXPECT_TRUE(item->Detached());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(item->Collection(), nullptr);
    EXPECT_EQ(item->RefCount(), 1);
    EXPECT_EQ(gAlive, 1);
    held->Release();
    EXPECT_EQ(gAlive, 0);
}

TEST(CollectionItemInterface, DestroyedCollectionLetsHeldItemsLive) {
    gAlive = 0;
    IProbe* held = nullptr;
    {
        TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
        list.Add();
        auto* item = static_cast<TProbeItem*>(list.Add());
        item->QueryInterface(IProbe::Guid, reinterpret_cast<void**>(&held));
        list.Delete(0);
        EXPECT_EQ(gAlive, 1);
    }
    // The list dropped only its own reference; the host's is still good.
    EXPECT_EQ(gAlive, 1);
    EXPECT_EQ(held->Release(), 0u);
    EXPECT_EQ(gAlive, 0);
}

TEST(CollectionItemInterface, QueryInterfaceAnswersOnlyWhatItImplements) {
    TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
    auto* item = static_cast<TProbeItem*>(list.Add());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(item->QueryInterface(IEventSupport::Guid, &out), com::E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(item->QueryInterface(com::IUnknown::Guid, nullptr), com::E_POINTER);
    ASSERT_EQ(item->QueryInterface(com::IUnknown::Guid, &out), com::S_OK);
    static_cast<com::IUnknown*>(out)->Release();
    EXPECT_EQ(item->RefCount(), 1);
}

TEST(CollectionItemInterface, ExceptionInOperationBecomesFailureWithDescription) {
    TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
    auto* item = static_cast<TProbeItem*>(list.Add());
    EXPECT_EQ(item->Fail(), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"broken");
}

TEST(CollectionItemInterface, CountsStayExactUnderConcurrentReferences) {
    TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
    auto* item = static_cast<TProbeItem*>(list.Add());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([item] {
            for (int i = 0; i < 20000; ++i) {
                item->AddRef();
                item->Release();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(item->RefCount(), 1);
}

TEST(RootCollection, EventSinksAreReleasedAtDestruction) {
    CountingSink sink;
    {
        TRootCollection list(&rtl::ItemClassOf<TProbeItem>);
        list.EventSink = com::ComPtr<IEventSupport2>(&sink);
        auto* item = static_cast<TProbeItem*>(list.Add());
        item->EventSink = list.EventSink;
        EXPECT_EQ(sink.Refs, 2u);
    }
    EXPECT_EQ(sink.Refs, 0u);
}

} // namespace
} // namespace quill::infra
