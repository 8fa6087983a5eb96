#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "Foundation/Exception.h"
#include "UIKit/View.h"

namespace {

std::shared_ptr<ui::View> makeView(const cg::Rect& frame = {}, int tag = 0) {
  auto v = std::make_shared<ui::View>()->initWithFrame(frame);
  v->setTag(tag);
  return v;
}

std::vector<int> tags(const std::shared_ptr<ui::View>& v) {
  std::vector<int> out;
  for (auto& s : v->subviews()) out.push_back(s->tag());
  return out;
}

TEST(ViewHierarchyTest, InsertionOrderOperations) {
  auto root = makeView();
  auto a = makeView({}, 1), b = makeView({}, 2), c = makeView({}, 3), d = makeView({}, 4),
       e = makeView({}, 5);
  root->addSubview(a);
  root->addSubview(b);
  root->insertSubviewAtIndex(c, 0);
  EXPECT_EQ(tags(root), (std::vector<int>{3, 1, 2}));
  root->insertSubviewAboveSubview(d, a);
  EXPECT_EQ(tags(root), (std::vector<int>{3, 1, 4, 2}));
  root->insertSubviewBelowSubview(e, c);
  EXPECT_EQ(tags(root), (std::vector<int>{5, 3, 1, 4, 2}));
  root->bringSubviewToFront(e);
  EXPECT_EQ(tags(root), (std::vector<int>{3, 1, 4, 2, 5}));
  root->sendSubviewToBack(b);
  EXPECT_EQ(tags(root), (std::vector<int>{2, 3, 1, 4, 5}));
  root->insertSubviewAtIndex(c, 99);
  EXPECT_EQ(tags(root), (std::vector<int>{2, 1, 4, 5, 3}));
  a->removeFromSuperview();
  EXPECT_EQ(tags(root), (std::vector<int>{2, 4, 5, 3}));
  EXPECT_EQ(a->superview(), nullptr);
}

TEST(ViewHierarchyTest, AddingToAnotherParentMovesTheView) {
  auto p1 = makeView(), p2 = makeView();
  auto child = makeView({}, 7);
  p1->addSubview(child);
  p2->addSubview(child);
  EXPECT_TRUE(p1->subviews().empty());
  EXPECT_EQ(child->superview(), p2);
  EXPECT_TRUE(child->isDescendantOfView(p2.get()));
  EXPECT_FALSE(child->isDescendantOfView(p1.get()));
}

TEST(ViewHierarchyTest, RefusesCycles) {
  auto a = makeView(), b = makeView();
  a->addSubview(b);
  EXPECT_THROW(b->addSubview(a), ns::Exception);
  EXPECT_THROW(a->addSubview(a), ns::Exception);
  EXPECT_THROW(a->addSubview(nullptr), ns::Exception);
}

TEST(ViewHierarchyTest, ViewWithTagSearchesDepthFirstIncludingItself) {
  auto root = makeView({}, 10);
  auto a = makeView({}, 1), a1 = makeView({}, 5), b = makeView({}, 5);
  root->addSubview(a);
  a->addSubview(a1);
  root->addSubview(b);
  EXPECT_EQ(root->viewWithTag(10), root);
  EXPECT_EQ(root->viewWithTag(5), a1);
  EXPECT_EQ(b->viewWithTag(5), b);
  EXPECT_EQ(root->viewWithTag(99), nullptr);
}

class RecordingView : public ui::View {
 public:
  std::vector<std::string>* log = nullptr;
  void willMoveToSuperview(const std::shared_ptr<ui::View>& s) override {
    log->push_back(s ? "willMove" : "willMoveToNone");
  }
  void didMoveToSuperview() override { log->push_back(superview() ? "didMove" : "didMoveToNone"); }
  void didAddSubview(const std::shared_ptr<ui::View>&) override { log->push_back("didAdd"); }
  void willRemoveSubview(const std::shared_ptr<ui::View>&) override { log->push_back("willRemove"); }
};

TEST(ViewHierarchyTest, MoveHooksRunInOrder) {
  std::vector<std::string> log;
  auto parent = std::make_shared<RecordingView>();
  auto child = std::make_shared<RecordingView>();
  parent->log = child->log = &log;
  parent->addSubview(child);
  child->removeFromSuperview();
  EXPECT_EQ(log, (std::vector<std::string>{"willMove", "didMove", "didAdd", "willMoveToNone", "willRemove",
                                           "didMoveToNone"}));
}

// Emptying a view of many subviews, newest first, costs each one step, as adding them did, not a
// pass over the siblings left.
TEST(ViewHierarchyTest, RemovingManySubviewsNewestFirstCostsWhatAddingThemDid) {
  // This thread's CPU time, so that other work on a loaded machine does not count.
  auto cpuSeconds = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
  };
  constexpr int kCount = 100000;
  auto parent = makeView();
  std::vector<std::shared_ptr<ui::View>> children;
  for (int i = 0; i < kCount; ++i) children.push_back(std::make_shared<ui::View>());
  double start = cpuSeconds();
  for (const auto& child : children) parent->addSubview(child);
  double added = cpuSeconds() - start;
  start = cpuSeconds();
  for (auto child = children.rbegin(); child != children.rend(); ++child) (*child)->removeFromSuperview();
  double removed = cpuSeconds() - start;
  EXPECT_TRUE(parent->subviews().empty());
  for (const auto& child : children) ASSERT_FALSE(child->superview());
  // Both are linear; a pass over the siblings at each removal makes it tens of times slower.
  EXPECT_LT(removed, 5 * added + 0.1);
}

TEST(ViewHierarchyTest, ParentKeepsChildrenAliveAndReleasesThem) {
  std::weak_ptr<ui::View> weakChild;
  {
    auto parent = makeView();
    auto child = makeView();
    weakChild = child;
    parent->addSubview(child);
    child.reset();
    EXPECT_FALSE(weakChild.expired());
  }
  EXPECT_TRUE(weakChild.expired());
}

}  // namespace
