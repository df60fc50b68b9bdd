// The reference system: host-owned lifetime, notification and cloning.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ref.h"
#include "sdk/references.h"
#include "sdk/remap_dir.h"

namespace {

// Names of the test objects released through DeleteThis, in order.
std::vector<std::string> released;

struct Received {
    Interval interval;
    RefTargetHandle target;
    PartID part;
    RefMessage message;
    BOOL propagate;
};

// A target with a fixed number of reference slots, recording what it hears
// and when it is released. Its destructor does nothing beyond the base.
class Node : public ReferenceTarget {
public:
    explicit Node(std::string name, int refs = 0, SClass_ID sclass = 0x7E57)
        : name_(std::move(name)), refs_(static_cast<std::size_t>(refs), nullptr), sclass_(sclass) {}

    SClass_ID SuperClassID() override { return sclass_; }
    void DeleteThis() override {
        released.push_back(name_);
        delete this;
    }
    int NumRefs() override { return static_cast<int>(refs_.size()); }
    RefTargetHandle GetReference(int i) override { return refs_[static_cast<std::size_t>(i)]; }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* copy = new Node(name_ + "'", NumRefs(), sclass_);
        for (int i = 0; i < NumRefs(); ++i)
            copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
        ++clones;
        return copy;
    }
    void RefAdded(RefMakerHandle) override { ++added; }
    void RefDeleted(ReferenceMaker*) override { ++deleted; }

    std::vector<Received> heard;
    RefResult answer = REF_SUCCEED;
    // When set, the node drops this reference slot as soon as it hears anything.
    int dropOnNotify = -1;
    int added = 0;
    int deleted = 0;
    static inline int clones = 0;

protected:
    void SetReference(int i, RefTargetHandle target) override {
        refs_[static_cast<std::size_t>(i)] = target;
    }
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override {
        heard.push_back({changeInt, hTarget, partID, message, propagate});
        if (dropOnNotify >= 0) DeleteReference(dropOnNotify);
        return answer;
    }

private:
    std::string name_;
    std::vector<RefTargetHandle> refs_;
    SClass_ID sclass_;
};

// A pure maker, like a scene root: it references but is never referenced.
class Root : public ReferenceMaker {
public:
    explicit Root(int refs) : refs_(static_cast<std::size_t>(refs), nullptr) {}
    int NumRefs() override { return static_cast<int>(refs_.size()); }
    RefTargetHandle GetReference(int i) override { return refs_[static_cast<std::size_t>(i)]; }
    std::vector<Received> heard;

protected:
    void SetReference(int i, RefTargetHandle target) override {
        refs_[static_cast<std::size_t>(i)] = target;
    }
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override {
        heard.push_back({changeInt, hTarget, partID, message, propagate});
        return REF_SUCCEED;
    }

private:
    std::vector<RefTargetHandle> refs_;
};

class References : public ::testing::Test {
protected:
    void SetUp() override {
        released.clear();
        Node::clones = 0;
    }
};

TEST_F(References, ReplacingFreesTheOldTargetOnlyWhenNobodyElseHoldsIt) {
    Root root(2), other(1);
    Node* a = new Node("a");
    Node* b = new Node("b");
    ASSERT_EQ(root.ReplaceReference(0, a), REF_SUCCEED);
    ASSERT_EQ(other.ReplaceReference(0, a), REF_SUCCEED);
    EXPECT_EQ(standin::DependentsOf(a).size(), 2u);

    // `other` still holds a: replacing it in root frees nothing.
    root.ReplaceReference(0, b);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(root.GetReference(0), b);

    // Now the last holder lets go.
    other.DeleteReference(0);
    EXPECT_EQ(released, std::vector<std::string>{"a"});
    EXPECT_EQ(other.GetReference(0), nullptr);

    // delOld FALSE keeps the target alive although nobody references it.
    root.ReplaceReference(0, nullptr, FALSE);
    EXPECT_EQ(released, std::vector<std::string>{"a"});
    EXPECT_TRUE(standin::DependentsOf(b).empty());
    b->DeleteMe();
    EXPECT_EQ(released, (std::vector<std::string>{"a", "b"}));
}

TEST_F(References, FreeingCascadesToWhatBecomesUnreferenced) {
    // root -> a -> b -> {c, d}; `keeper` also holds d.
    Root root(1), keeper(1);
    Node* a = new Node("a", 1);
    Node* b = new Node("b", 2);
    Node* c = new Node("c");
    Node* d = new Node("d");
    root.ReplaceReference(0, a);
    a->ReplaceReference(0, b);
    b->ReplaceReference(0, c);
    b->ReplaceReference(1, d);
    keeper.ReplaceReference(0, d);

    root.DeleteReference(0);
    // Each object's references are released before its DeleteThis; d survives.
    EXPECT_EQ(released, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(standin::DependentsOf(d), std::vector<ReferenceMaker*>{&keeper});
    keeper.DeleteAllRefsFromMe();
    EXPECT_EQ(released.back(), "d");
}

TEST_F(References, RefusesLoopsAndBadIndices) {
    Root root(1);
    Node* a = new Node("a", 1);
    Node* b = new Node("b", 1);
    root.ReplaceReference(0, a);
    a->ReplaceReference(0, b);
    EXPECT_EQ(b->ReplaceReference(0, a), REF_FAIL);  // a -> b -> a
    EXPECT_EQ(b->ReplaceReference(0, b), REF_FAIL);  // b -> b
    EXPECT_EQ(b->GetReference(0), nullptr);
    EXPECT_EQ(a->ReplaceReference(1, b), REF_FAIL);
    EXPECT_EQ(a->ReplaceReference(-1, b), REF_FAIL);
    EXPECT_EQ(a->FindRef(b), 0);
    EXPECT_EQ(a->FindRef(a), -1);
    root.DeleteAllRefsFromMe();
    EXPECT_EQ(released, (std::vector<std::string>{"b", "a"}));
}

TEST_F(References, TwoSlotsOnOneTargetCountTwice) {
    Root root(2);
    Node* a = new Node("a");
    root.ReplaceReference(0, a);
    root.ReplaceReference(1, a);
    EXPECT_EQ(a->added, 2);
    a->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(root.heard.size(), 1u);  // one maker hears a message once
    root.DeleteReference(0);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(a->deleted, 1);
    root.DeleteReference(1);
    EXPECT_EQ(released, std::vector<std::string>{"a"});
}

TEST_F(References, DeleteMeDetachesDependentsAndReleasesReferences) {
    Root root(1);
    Node* owner = new Node("owner", 1);
    Node* shared = new Node("shared", 1);
    Node* leaf = new Node("leaf");
    root.ReplaceReference(0, owner);
    owner->ReplaceReference(0, shared);
    shared->ReplaceReference(0, leaf);

    shared->DeleteMe();
    ASSERT_EQ(owner->heard.size(), 1u);
    EXPECT_EQ(owner->heard[0].message, REFMSG_TARGET_DELETED);
    EXPECT_EQ(owner->heard[0].target, shared);
    EXPECT_EQ(owner->GetReference(0), nullptr);  // the host cleared the slot
    EXPECT_EQ(released, (std::vector<std::string>{"leaf", "shared"}));
    // The deletion message is not passed on past the direct dependents.
    EXPECT_TRUE(root.heard.empty());
    root.DeleteAllRefsFromMe();
    EXPECT_EQ(released.back(), "owner");
}

TEST_F(References, DestroyedMakerFreesNothingAndLeavesNoDanglingDependent) {
    Node* kept = new Node("kept");
    Node* only = new Node("only");
    Root keeper(1);
    keeper.ReplaceReference(0, kept);
    {
        Root scope(2);
        scope.ReplaceReference(0, only);
        scope.ReplaceReference(1, kept);
    }  // destroyed without DeleteAllRefs: "only" is leaked, as on the host
    EXPECT_TRUE(released.empty());
    EXPECT_TRUE(standin::DependentsOf(only).empty());
    EXPECT_EQ(standin::DependentsOf(kept).size(), 1u);
    EXPECT_EQ(only->deleted, 1);  // told which maker went away
    only->MaybeAutoDelete();
    EXPECT_EQ(released, std::vector<std::string>{"only"});
    keeper.DeleteAllRefsFromMe();
}

TEST_F(References, TargetDeletedBehindTheHostsBackLeavesNoDanglingSlot) {
    Root root(1);
    Node* a = new Node("a");
    root.ReplaceReference(0, a);
    a->DeleteThis();  // not DeleteMe
    EXPECT_EQ(root.GetReference(0), nullptr);
}

TEST_F(References, NotificationCarriesMessagePartAndTarget) {
    Root root(1);
    Node* a = new Node("a", 1);
    Node* b = new Node("b");
    root.ReplaceReference(0, a);
    a->ReplaceReference(0, b);

    b->NotifyDependents(Interval(10, 20), PART_TEXMAP, REFMSG_CHANGE);
    ASSERT_EQ(a->heard.size(), 1u);
    EXPECT_EQ(a->heard[0].interval, Interval(10, 20));
    EXPECT_EQ(a->heard[0].target, b);
    EXPECT_EQ(a->heard[0].part, PART_TEXMAP);
    EXPECT_EQ(a->heard[0].message, REFMSG_CHANGE);
    EXPECT_TRUE(a->heard[0].propagate);
    // a answered REF_SUCCEED: the message travels on, now sent by a.
    ASSERT_EQ(root.heard.size(), 1u);
    EXPECT_EQ(root.heard[0].target, a);
    EXPECT_EQ(root.heard[0].message, REFMSG_CHANGE);

    // Without propagation, or when a stops it, root hears nothing more.
    b->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, FALSE);
    a->answer = REF_STOP;
    b->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(a->heard.size(), 3u);
    EXPECT_EQ(root.heard.size(), 1u);

    // An explicit sender replaces this object as the target.
    b->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, TRUE, a);
    EXPECT_EQ(a->heard.back().target, a);
    root.DeleteAllRefsFromMe();
}

TEST_F(References, ThreadsThatPassNotificationsOnEndCleanly) {
    // Each thread keeps its own path of targets passing a notification on.
    // Built with MinGW, a path that needed freeing at a thread's end was
    // freed twice, and the heap broke a little later, now and then.
    constexpr int kThreads = 8;
    for (int round = 0; round < 100; ++round) {
        // A chain root <- a <- b for each thread, made and freed here.
        std::vector<std::unique_ptr<Root>> roots;
        std::vector<Node*> tips;
        for (int t = 0; t < kThreads; ++t) {
            roots.push_back(std::make_unique<Root>(1));
            Node* a = new Node("a", 1);
            tips.push_back(new Node("b"));
            roots.back()->ReplaceReference(0, a);
            a->ReplaceReference(0, tips.back());
        }
        std::vector<std::thread> threads;
        for (Node* tip : tips) {
            threads.emplace_back(
                [tip] { tip->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE); });
        }
        for (std::thread& thread : threads) thread.join();
        for (const auto& root : roots) {
            EXPECT_EQ(root->heard.size(), 1u);
            root->DeleteAllRefsFromMe();
        }
    }
}

TEST_F(References, SuperClassFilterAndDiamonds) {
    // top -> {left, right} -> bottom; left is a texture map, right is not.
    Root root(1);
    Node* top = new Node("top", 2);
    Node* left = new Node("left", 1, TEXMAP_CLASS_ID);
    Node* right = new Node("right", 1);
    Node* bottom = new Node("bottom");
    root.ReplaceReference(0, top);
    top->ReplaceReference(0, left);
    top->ReplaceReference(1, right);
    left->ReplaceReference(0, bottom);
    right->ReplaceReference(0, bottom);

    bottom->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    EXPECT_EQ(left->heard.size(), 1u);
    EXPECT_EQ(right->heard.size(), 1u);
    EXPECT_EQ(top->heard.size(), 2u);  // once through each branch
    EXPECT_EQ(root.heard.size(), 2u);

    bottom->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, TEXMAP_CLASS_ID);
    EXPECT_EQ(left->heard.size(), 2u);
    EXPECT_EQ(right->heard.size(), 1u);
    EXPECT_EQ(top->heard.size(), 2u);  // top is no texture map
    root.DeleteAllRefsFromMe();
    EXPECT_EQ(released.size(), 4u);
}

TEST_F(References, TargetDroppedDuringItsOwnNotificationIsFreedAfterwards) {
    Root root(2);
    Node* listener = new Node("listener", 1);
    Node* other = new Node("other", 1);
    Node* source = new Node("source");
    root.ReplaceReference(0, listener);
    root.ReplaceReference(1, other);
    listener->ReplaceReference(0, source);
    other->ReplaceReference(0, source);
    listener->dropOnNotify = 0;
    other->dropOnNotify = 0;

    source->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, FALSE);
    // Both dependents heard it although the first one's drop left only one.
    EXPECT_EQ(listener->heard.size(), 1u);
    EXPECT_EQ(other->heard.size(), 1u);
    EXPECT_EQ(released, std::vector<std::string>{"source"});
    root.DeleteAllRefsFromMe();
}

TEST_F(References, CloneOnceRemapDirClonesSharedTargetsOnce) {
    Root root(1);
    Node* original = new Node("a", 3);
    Node* shared = new Node("s");
    root.ReplaceReference(0, original);
    original->ReplaceReference(0, shared);
    original->ReplaceReference(1, shared);

    standin::CloneOnceRemapDir remap;
    auto* copy = static_cast<Node*>(remap.CloneRef(original));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(remap.CloneRef(original), copy);  // the same clone again
    EXPECT_EQ(Node::clones, 2);
    EXPECT_EQ(remap.Count(), 2);
    EXPECT_NE(copy->GetReference(0), shared);
    EXPECT_EQ(copy->GetReference(0), copy->GetReference(1));
    EXPECT_EQ(copy->GetReference(2), nullptr);
    EXPECT_EQ(remap.CloneRef(nullptr), nullptr);

    copy->DeleteMe();
    root.DeleteAllRefsFromMe();
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (std::vector<std::string>{"a", "a'", "s", "s'"}));
}

}  // namespace
