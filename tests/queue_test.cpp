#include <deque>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "libcontainer/libcontainer.h"

namespace {

// Opens the protected list operations to the tests and counts the objects
// handed to deleteObj.
class TestList : public ListG {
 public:
  using ListG::append;
  using ListG::find;
  using ListG::first;
  using ListG::insert;
  using ListG::next;
  using ListG::prepend;
  using ListG::remove;
  using ListG::unlink;

  ~TestList() override { clear(); }

  // The stored pointers, front to back, by a full walk.
  std::vector<Ptr> items() {
    std::vector<Ptr> out;
    for (Ptr p = first(); p != nullptr; p = next()) out.push_back(p);
    return out;
  }

  std::vector<Ptr> released;

 protected:
  void deleteObj(Ptr obj) override { released.push_back(obj); }
};

// Counts destructions per object so double deletes show up.
struct Counted {
  explicit Counted(int* counter) : destroyed(counter) {}
  ~Counted() { ++*destroyed; }
  int* destroyed;
};

int slots[8];
Ptr A = &slots[0], B = &slots[1], C = &slots[2], X = &slots[3];

TEST(ListG, InsertClampsIndex) {
  struct Case {
    int index;
    std::vector<Ptr> expected;
  };
  const Case cases[] = {
      {-5, {X, A, B, C}}, {0, {X, A, B, C}}, {1, {A, X, B, C}},
      {2, {A, B, X, C}},  {3, {A, B, C, X}}, {99, {A, B, C, X}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    TestList list;
    list.append(A);
    list.append(B);
    list.append(C);
    list.insert(X, c.index);
    EXPECT_EQ(list.length(), 4);
    EXPECT_EQ(list.items(), c.expected);
    // The tail must still be the last record: an append lands after it.
    list.append(B);
    std::vector<Ptr> after = c.expected;
    after.push_back(B);
    EXPECT_EQ(list.items(), after);
  }
  for (int index : {-5, 0, 7}) {
    TestList empty;
    empty.insert(X, index);
    empty.append(A);
    EXPECT_EQ(empty.items(), (std::vector<Ptr>{X, A}));
  }
}

TEST(ListG, FindUnlinkRemoveByIdentity) {
  TestList list;
  list.append(A);
  list.append(B);
  list.append(A);
  EXPECT_EQ(list.find(B), B);
  EXPECT_EQ(list.find(C), nullptr);
  EXPECT_EQ(list.unlink(C), nullptr);
  EXPECT_FALSE(list.remove(C));
  EXPECT_EQ(list.length(), 3);

  // A pointer stored twice: only the first occurrence goes.
  EXPECT_TRUE(list.remove(A));
  EXPECT_EQ(list.items(), (std::vector<Ptr>{B, A}));

  // Removing the tail must move the tail back.
  EXPECT_EQ(list.unlink(A), A);
  list.append(C);
  EXPECT_EQ(list.items(), (std::vector<Ptr>{B, C}));

  // Emptying the list through removals leaves it usable from scratch.
  EXPECT_TRUE(list.remove(B));
  EXPECT_TRUE(list.remove(C));
  EXPECT_EQ(list.length(), 0);
  EXPECT_EQ(list.first(), nullptr);
  list.prepend(X);
  list.append(A);
  EXPECT_EQ(list.items(), (std::vector<Ptr>{X, A}));
  EXPECT_TRUE(list.released.empty());
}

TEST(ListG, AutoDeleteReleasesOnlyWhatItDrops) {
  TestList list;
  list.append(A);
  list.append(B);
  list.append(C);
  EXPECT_TRUE(list.remove(A));
  EXPECT_TRUE(list.released.empty());

  list.setAutoDelete(true);
  EXPECT_EQ(list.unlink(B), B);
  EXPECT_TRUE(list.released.empty());
  list.append(X);
  EXPECT_TRUE(list.remove(C));
  EXPECT_EQ(list.released, (std::vector<Ptr>{C}));
  list.append(A);
  list.first();
  list.clear();
  EXPECT_EQ(list.released, (std::vector<Ptr>{C, X, A}));
  EXPECT_EQ(list.length(), 0);
  EXPECT_EQ(list.next(), nullptr);
  list.append(B);  // a fresh list after clear
  EXPECT_EQ(list.items(), (std::vector<Ptr>{B}));
}

TEST(ListG, WalkSkipsTheItemRemovedUnderTheCursor) {
  TestList list;
  EXPECT_EQ(list.next(), nullptr);
  list.append(A);
  EXPECT_EQ(list.first(), A);
  EXPECT_EQ(list.next(), nullptr);
  list.append(B);
  list.append(C);
  EXPECT_EQ(list.first(), A);  // the cursor now designates B
  EXPECT_EQ(list.unlink(B), B);
  EXPECT_EQ(list.next(), C);
  EXPECT_EQ(list.next(), nullptr);

  list.append(X);  // A C X
  EXPECT_EQ(list.first(), A);
  EXPECT_EQ(list.next(), C);  // cursor on X, the tail
  EXPECT_TRUE(list.remove(X));
  EXPECT_EQ(list.next(), nullptr);

  // Removing an item other than the cursor's leaves the walk alone.
  list.append(B);  // A C B
  EXPECT_EQ(list.first(), A);
  EXPECT_TRUE(list.remove(A));
  EXPECT_EQ(list.next(), C);
  EXPECT_EQ(list.next(), B);
  EXPECT_EQ(list.next(), nullptr);
}

TEST(Queue, AutoDeleteDestroysEachObjectOnce) {
  int destroyed[5] = {0, 0, 0, 0, 0};
  {
    Queue<Counted> q;
    q.setAutoDelete(true);
    for (int i = 0; i < 5; i++) q.enqueue(new Counted(&destroyed[i]));
    delete q.dequeue();  // the caller owns what it dequeues
    EXPECT_EQ(destroyed[0], 1);
    EXPECT_EQ(destroyed[1], 0);
    EXPECT_EQ(q.itemCount(), 4);
  }
  // The four items still queued at destruction, each exactly once.
  for (int count : destroyed) EXPECT_EQ(count, 1);

  int owned_destroyed = 0;
  Counted owned(&owned_destroyed);
  {
    Queue<Counted> q;
    q.enqueue(&owned);
    q.enqueue(&owned);
  }
  // Without autodelete the objects stay the caller's.
  EXPECT_EQ(owned_destroyed, 0);
}

// Enqueue, put-back, dequeue and peek against a deque, from empty and
// back to empty many times over.
TEST(Queue, MatchesDequeModel) {
  std::mt19937 rng(20240611);
  static int pool[64];
  Queue<int> q;
  std::deque<int*> model;
  for (int step = 0; step < 60000; step++) {
    int* item = &pool[rng() % 64];
    switch (rng() % 5) {  // dequeues as often as additions: drains often
      case 0:
        q.enqueue(item);
        model.push_back(item);
        break;
      case 1:
        q.pushBack(item);
        model.push_front(item);
        break;
      case 2:
      case 4: {
        int* expected = model.empty() ? nullptr : model.front();
        if (!model.empty()) model.pop_front();
        ASSERT_EQ(q.dequeue(), expected) << "step " << step;
        break;
      }
      case 3:
        ASSERT_EQ(q.peek(), model.empty() ? nullptr : model.front());
        break;
    }
    ASSERT_EQ(q.itemCount(), static_cast<int>(model.size()));
    ASSERT_EQ(q.isEmpty(), model.empty());
    if (step % 50 == 0) {
      std::vector<int*> walked;
      for (int* p = q.first(); p != nullptr; p = q.next()) walked.push_back(p);
      ASSERT_EQ(walked, std::vector<int*>(model.begin(), model.end()));
    }
  }
}

}  // namespace
