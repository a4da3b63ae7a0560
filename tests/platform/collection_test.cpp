#include "platform/rtl/collection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::rtl {
namespace {

std::vector<std::string>* gFreed = nullptr;

class TNamedItem : public TCollectionItem {
  public:
    explicit TNamedItem(TCollection* c) : TCollectionItem(c) {}
    ~TNamedItem() override {
        if (gFreed) gFreed->push_back(Name);
    }
    std::string Name;
};

class TLoggingCollection : public TCollection {
  public:
    TLoggingCollection() : TCollection(&ItemClassOf<TNamedItem>) {}
    ~TLoggingCollection() override { Clear(); }
    std::vector<std::pair<TCollectionItem*, TCollectionNotification>> Log;

  protected:
    void Notify(TCollectionItem* item, TCollectionNotification action) override {
        Log.emplace_back(item, action);
    }
};

TNamedItem* AddNamed(TCollection& c, std::string name) {
    auto* item = static_cast<TNamedItem*>(c.Add());
    item->Name = std::move(name);
    return item;
}

std::string Names(const TCollection& c) {
    std::string out;
    for (int i = 0; i < c.Count(); ++i)
        out += static_cast<TNamedItem*>(c.Items(i))->Name;
    return out;
}

TEST(Collection, ItemsJoinInOrderAndKeepUniqueIds) {
    TCollection c(&ItemClassOf<TNamedItem>);
    auto* a = AddNamed(c, "a");
    auto* b = AddNamed(c, "b");
    auto* x = static_cast<TNamedItem*>(c.Insert(1));
    x->Name = std::string(1, 'x');
    EXPECT_EQ(Names(c), "axb");
    EXPECT_EQ(x->Index(), 1);
    EXPECT_EQ(b->Index(), 2);
    EXPECT_EQ(a->Collection(), &c);
    c.Delete(0);
    auto* d = AddNamed(c, "d");
    // IDs are never reused, even after a delete.
    EXPECT_EQ(d->ID(), 3);
    EXPECT_EQ(c.FindItemID(d->ID()), d);
    EXPECT_EQ(c.FindItemID(0), nullptr);
    d->SetIndex(0);
    EXPECT_EQ(Names(c), "dxb");
}

TEST(Collection, FreeingAnItemTakesItOutAndDestructionFreesTheRest) {
    std::vector<std::string> freed;
    gFreed = &freed;
    {
        TCollection c(&ItemClassOf<TNamedItem>);
        AddNamed(c, "a");
        auto* b = AddNamed(c, "b");
        AddNamed(c, "c");
        delete b;
        EXPECT_EQ(Names(c), "ac");
        auto* moved = AddNamed(c, "m");
        TCollection other(&ItemClassOf<TNamedItem>);
        moved->SetCollection(&other);
        EXPECT_EQ(Names(c), "ac");
        EXPECT_EQ(Names(other), "m");
        EXPECT_EQ(moved->Index(), 0);
        moved->SetCollection(nullptr);
        EXPECT_EQ(moved->Index(), -1);
        delete moved;
    }
    gFreed = nullptr;
    // Destruction frees last first.
    EXPECT_EQ(freed, (std::vector<std::string>{"b", "m", "c", "a"}));
}

TEST(Collection, BadIndexRaisesAndChangesNothing) {
    TCollection c(&ItemClassOf<TNamedItem>);
    AddNamed(c, "a");
    EXPECT_THROW(c.Items(1), EListError);
    EXPECT_THROW(c.Items(-1), EListError);
    EXPECT_THROW(c.Delete(5), EListError);
    EXPECT_THROW(c.Insert(2), EListError);
    EXPECT_THROW(c.Items(0)->SetIndex(1), EListError);
    EXPECT_EQ(c.Count(), 1);
    try {
        c.Items(7);
        FAIL() << "index 7 of one item was accepted";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (7)");
    }
}

TEST(Collection, NotifiesJoinsDeletesAndLeaves) {
    TLoggingCollection c;
    auto* a = AddNamed(c, "a");
    auto* b = AddNamed(c, "b");
    c.Delete(0);
    b->SetCollection(nullptr);
    using N = TCollectionNotification;
    const std::vector<std::pair<TCollectionItem*, N>> expected{{a, N::cnAdded},
                                                               {b, N::cnAdded},
                                                               {a, N::cnDeleting},
                                                               {a, N::cnExtracting},
                                                               {b, N::cnExtracting}};
    EXPECT_EQ(c.Log, expected);
    delete b;
}

// An item that others keep alive: the collection's delete only lets go of it, and one kind forgets
// even to leave, which the collection must make up for.
class TKeptItem : public TCollectionItem {
  public:
    explicit TKeptItem(TCollection* c) : TCollectionItem(c) {}
    bool Forgetful = false;
    bool Released = false;

  protected:
    void FreeFromCollection() override {
        Released = true;
        if (!Forgetful) SetCollection(nullptr);
    }
};

TEST(Collection, ClearLetsGoOfItemsThatLeaveOrForgetToLeave) {
    TCollection c(&ItemClassOf<TKeptItem>);
    std::vector<TKeptItem*> items;
    for (int i = 0; i < 6; ++i) {
        items.push_back(static_cast<TKeptItem*>(c.Add()));
        items.back()->Forgetful = i % 2 == 1;
    }
    c.Delete(1); // a forgetful one in the middle
    EXPECT_EQ(c.Count(), 5);
    EXPECT_EQ(c.IndexOf(items[1]), -1);
    EXPECT_EQ(items[2]->Index(), 1);
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    for (TKeptItem* item : items) {
        EXPECT_TRUE(item->Released);
        EXPECT_EQ(item->Collection(), nullptr);
    }
    for (TKeptItem* item : items)
        delete item;
}

} // namespace
} // namespace quill::rtl
