// The collector, on a small test object graph with its own root hook.
#include <algorithm>
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/hx_runtime.h"

namespace {

struct Node : Object {
  static int destroyed;
  Node* a;
  Node* b;
  Node() : a(nullptr), b(nullptr) {}
  ~Node() override { ++destroyed; }
  void mark() override {
    Object::mark();
    gc_mark_q(a);
    gc_mark_q(b);
  }
};
int Node::destroyed = 0;

struct Visitor : public virtual gc_interface {
  virtual int Visit() = 0;
};
// An object that is also an interface: stored and marked either way.
struct Impl : Object, Visitor {
  Impl() {}
  int Visit() override { return 7; }
};

struct Holder : Object {
  Visitor* iface;
  Impl* impl;
  Array<Node*> nodes;
  Array<Visitor*> visitors;
  Array<int> numbers;
  Holder() : iface(nullptr), impl(nullptr) {}
  void mark() override {
    Object::mark();
    gc_mark_q(iface);
    gc_mark_q(impl);
    gc_mark_q(nodes);
    gc_mark_q(visitors);
    gc_mark_q(numbers);
  }
};

std::vector<gc_object*> roots;
void test_roots() {
  for (gc_object* r : roots) gc_mark_q(r);
}

// Installs the roots and queues them, as the program does at start-up.
void set_roots(std::vector<gc_object*> r) {
  roots = std::move(r);
  gc_mark();
}

bool in_list(const gc_object& list, const void* p) {
  for (const gc_object* q = list.succ; q != &list; q = q->succ)
    if (q == p) return true;
  return false;
}

// Clears the collector between tests: two complete cycles without roots
// and every destructor run.
void drain() {
  roots.clear();
  gc_collect_all();
  gc_collect_all();
  gc_flush_free(INT_MAX);
  gc_new_bytes = 0;
  gc_ext_new_bytes = 0;
}

// A completing step, reached the way the program reaches it: by reported
// outside memory.
void complete_cycle() {
  gc_ext_malloced(GC_TRIGGER + 1);
  gc_collect();
}

class RuntimeGc : public testing::Test {
 protected:
  void SetUp() override {
    gc_mark_roots = test_roots;
    drain();
    Node::destroyed = 0;
  }
  void TearDown() override {
    drain();
    gc_mark_roots = nullptr;
  }
};

TEST_F(RuntimeGc, BarrierKeepsObjectStoredAfterHolderWasScanned) {
  Node* holder = new Node;
  set_roots({holder});
  gc_mark_queued(INT_MAX);
  ASSERT_TRUE(in_list(gc_marked_list, holder));  // scanned

  Node* kept = new Node;
  Node* lost = new Node;
  gc_assign(holder->a, kept);
  holder->b = lost;  // no barrier: the scanned holder never reports it
  complete_cycle();

  EXPECT_TRUE(in_list(gc_unmarked_list, kept));
  EXPECT_TRUE(in_list(gc_free_list, lost));
  EXPECT_EQ(Node::destroyed, 0);
}

TEST_F(RuntimeGc, GarbageIsDestroyedOnlyDuringLaterAllocation) {
  Node* garbage = new Node;
  const int size = garbage->flags & ~7;
  complete_cycle();
  EXPECT_TRUE(in_list(gc_free_list, garbage));
  EXPECT_EQ(gc_free_bytes, size);
  EXPECT_EQ(Node::destroyed, 0);  // not during the sweep

  Node* next = new Node;
  EXPECT_EQ(Node::destroyed, 1);
  EXPECT_EQ(gc_free_bytes, 0);
  EXPECT_FALSE(in_list(gc_free_list, garbage));
  EXPECT_EQ(static_cast<void*>(next), static_cast<void*>(garbage));  // recycled block
}

// A program that allocates nothing still gets its garbage destroyed: each
// collection step destroys up to GC_STEP_FREE bytes of it (at least one
// object) before it marks, never the garbage its own sweep produced.
TEST_F(RuntimeGc, StepsDestroyABoundedShareOfGarbageWithoutAllocation) {
  const int count = 4000;
  int size = 0;
  for (int i = 0; i < count; ++i) size = (new Node)->flags & ~7;
  const int total = count * size;
  ASSERT_GT(total, 2 * GC_STEP_FREE);
  complete_cycle();
  ASSERT_EQ(gc_free_bytes, total);
  EXPECT_EQ(Node::destroyed, 0);  // not by the step that swept them

  const int perStep = (GC_STEP_FREE + size - 1) / size;
  int steps = 0;
  while (gc_free_bytes > 0 && steps < 1000) {
    const int before = Node::destroyed;
    gc_collect();
    ++steps;
    EXPECT_EQ(Node::destroyed - before, std::min(perStep, count - before)) << "step " << steps;
  }
  EXPECT_EQ(Node::destroyed, count);
  EXPECT_EQ(steps, (count + perStep - 1) / perStep);
  EXPECT_EQ(gc_list_count(gc_free_list), 0);
  // The steps marked nothing extra and completed no cycle: with no new
  // bytes the incremental target stays 0.
  EXPECT_EQ(gc_new_bytes, 0);
  EXPECT_EQ(gc_marked_bytes, 0);

  // A single large object is destroyed by one step.
  struct Big : Object {
    char pad[GC_STEP_FREE * 2];
  };
  new Big;
  complete_cycle();
  ASSERT_EQ(gc_list_count(gc_free_list), 1);
  gc_collect();
  EXPECT_EQ(gc_list_count(gc_free_list), 0);
  EXPECT_EQ(gc_free_bytes, 0);
}

TEST_F(RuntimeGc, ThresholdDecidesBetweenStepAndCompletion) {
  const struct {
    int ext, fresh;
    bool completes;
  } cases[] = {{8388608, 0, false}, {8388609, 0, true}, {8388000, 608, false},
               {8388000, 609, true}, {0, 8388608, false}, {0, 8388609, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ext << " + " << c.fresh);
    drain();
    int bit = gc_markbit;
    gc_ext_malloced(c.ext);
    gc_new_bytes = c.fresh;
    gc_collect();
    EXPECT_EQ(gc_markbit != bit, c.completes);
    EXPECT_EQ(gc_new_bytes, c.completes ? 0 : c.fresh);
    EXPECT_EQ(gc_ext_new_bytes.load(), c.completes ? 0 : c.ext);
  }
}

TEST_F(RuntimeGc, IncrementalStepMarksInProportionToNewBytes) {
  // target = new + (alloced - new) * new / 8 MiB, computed in 64 bits; the
  // step scans queued objects until the marked bytes reach the target.
  const int count = 1500;
  const int size = static_cast<int>((sizeof(Node) + 7) & ~size_t(7));
  const struct {
    int fresh, alloced;
    long long target;
  } cases[] = {
      {0, count * size, 0},
      {size * 10, count * size, size * 10 + (count * size - size * 10LL) * size * 10 / 8388608},
      {65536, 131072, 65536 + 512},  // the product 2^32 needs 64 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fresh);
    drain();
    std::vector<gc_object*> nodes;
    for (int i = 0; i < count; ++i) nodes.push_back(new Node);
    set_roots(nodes);  // everything queued, nothing marked
    ASSERT_EQ(gc_list_count(gc_queued_list), count);
    gc_new_bytes = c.fresh;
    gc_alloced_bytes = c.alloced;
    gc_collect();
    long long expect = (c.target + size - 1) / size * size;
    EXPECT_EQ(gc_marked_bytes, expect);
    EXPECT_EQ(gc_list_count(gc_queued_list), count - expect / size);
    EXPECT_EQ(gc_list_count(gc_marked_list), expect / size);
    // A second step with no new allocation has nothing left to do.
    gc_collect();
    EXPECT_EQ(gc_marked_bytes, expect);
    gc_alloced_bytes = count * size;
  }
}

TEST_F(RuntimeGc, PermanentEmptyArraysAreNeverQueued) {
  Holder* h = new Holder;
  set_roots({h});
  Array<Node*> empty;
  ASSERT_TRUE(empty.IsNullRep());
  EXPECT_EQ(empty.rep->flags & 3, 3);
  gc_assign(h->nodes, empty);
  gc_assign(h->numbers, Array<int>(0));
  gc_mark(empty.rep);
  gc_mark_q(empty.rep);
  EXPECT_EQ(gc_list_count(gc_queued_list), 1);  // the holder only
  for (int i = 0; i < 2; ++i) complete_cycle();
  EXPECT_EQ(empty.rep->flags & 3, 3);
  EXPECT_FALSE(in_list(gc_free_list, empty.rep));
  EXPECT_FALSE(in_list(gc_unmarked_list, empty.rep));
}

TEST_F(RuntimeGc, ArraysAndInterfacesKeepTheirElements) {
  Holder* h = new Holder;
  set_roots({h});
  Impl* through_iface = new Impl;
  Impl* direct = new Impl;
  Impl* in_array = new Impl;
  gc_assign(h->iface, through_iface);  // Impl is an Object and a Visitor
  gc_assign(h->impl, direct);
  gc_assign(h->nodes, Array<Node*>(3));
  h->nodes[0] = new Node;
  h->nodes[2] = new Node;
  gc_assign(h->visitors, Array<Visitor*>(2));
  h->visitors[1] = in_array;
  gc_assign(h->numbers, Array<int>(100));
  Node* stray = new Node;

  for (int i = 0; i < 3; ++i) complete_cycle();
  EXPECT_TRUE(in_list(gc_queued_list, h));  // the root, queued for the next cycle
  for (gc_object* p : std::vector<gc_object*>{through_iface, direct, in_array, h->nodes[0],
                                               h->nodes[2], h->nodes.rep, h->visitors.rep,
                                               h->numbers.rep})
    EXPECT_TRUE(in_list(gc_unmarked_list, p));
  // The stray was swept by the first cycle and destroyed by a later step;
  // the nodes in the array were kept.
  EXPECT_FALSE(in_list(gc_free_list, stray));
  EXPECT_EQ(Node::destroyed, 1);
  EXPECT_EQ(h->visitors[1]->Visit(), 7);
}

// Blocks of a given rounded size below 64 bytes are recycled through the
// per-size cache; 64 bytes and above go back to the C allocator.
template <int N>
struct Blob : gc_object {
  char pad[N];
  Blob() {}
};

template <class T>
void check_recycling(bool cached) {
  T* t = new T;
  const int size = t->flags & ~7;
  SCOPED_TRACE(size);
  EXPECT_EQ(cached, size < 64);
  complete_cycle();
  gc_flush_free(INT_MAX);
  if (cached) {
    gc_object* next = t->succ;
    EXPECT_EQ(gc_cache[size / 8], t);
    EXPECT_EQ(static_cast<void*>(new T), static_cast<void*>(t));
    EXPECT_EQ(gc_cache[size / 8], next);
  } else {
    for (gc_object* head : gc_cache) EXPECT_NE(head, t);
  }
}

TEST_F(RuntimeGc, SmallBlocksAreRecycled) {
  check_recycling<Blob<4>>(true);    // 32 bytes
  check_recycling<Blob<12>>(true);   // 40
  check_recycling<Blob<28>>(true);   // 56
  check_recycling<Blob<36>>(false);  // 64: never cached
  check_recycling<Blob<60>>(false);  // 88
  // Requests smaller than the header still get a whole header's block.
  void* a = gc_object_alloc(1);
  void* b = gc_object_alloc(8);
  EXPECT_EQ(static_cast<gc_object*>(a)->flags & ~7, static_cast<gc_object*>(b)->flags & ~7);
  EXPECT_GE(static_cast<gc_object*>(a)->flags & ~7, static_cast<int>(sizeof(gc_object)));
  ::new (a) gc_object;  // garbage like any other object
  ::new (b) gc_object;
}

struct Plain : Object {
  int value;
  Node* link;
};

TEST_F(RuntimeGc, ValueInitialisedObjectKeepsItsHeader) {
  const int before = gc_list_count(gc_unmarked_list);
  Plain* p = new Plain();  // zero-fills the whole object before construction
  EXPECT_EQ(p->value, 0);
  EXPECT_EQ(p->link, nullptr);
  EXPECT_TRUE(in_list(gc_unmarked_list, p));
  EXPECT_EQ(gc_list_count(gc_unmarked_list), before + 1);
  EXPECT_EQ(p->flags & ~7, static_cast<int>((sizeof(Plain) + 7) & ~size_t(7)));
  complete_cycle();
  EXPECT_TRUE(in_list(gc_free_list, p));
}

struct Failing : Object {
  Failing() { throw 1; }
};

TEST_F(RuntimeGc, FailedConstructorReturnsTheBlock) {
  const int alloced = gc_alloced_bytes;
  const int objects = gc_list_count(gc_unmarked_list);
  EXPECT_THROW(new Failing, int);
  EXPECT_EQ(gc_alloced_bytes, alloced);
  EXPECT_EQ(gc_free_bytes, 0);
  EXPECT_EQ(gc_list_count(gc_unmarked_list), objects);
  complete_cycle();
  EXPECT_EQ(gc_free_bytes, 0);
}

TEST_F(RuntimeGc, CountersFollowACycle) {
  Node* kept = new Node;
  new Node;
  const int size = kept->flags & ~7;
  EXPECT_EQ(gc_alloced_bytes, 2 * size);
  EXPECT_EQ(gc_new_bytes, 2 * size);
  EXPECT_GE(gc_max_alloced_bytes, 2 * size);
  set_roots({kept});
  complete_cycle();
  EXPECT_EQ(gc_alloced_bytes, size);
  EXPECT_EQ(gc_marked_bytes, 0);
  EXPECT_EQ(gc_free_bytes, size);
  EXPECT_EQ(gc_new_bytes, 0);
  EXPECT_TRUE(in_list(gc_queued_list, kept));  // queued again for the next cycle
  gc_flush_free(INT_MAX);
  EXPECT_EQ(Node::destroyed, 1);
  EXPECT_EQ(gc_free_bytes, 0);
  EXPECT_EQ(kept->Compare(kept), 0);
  EXPECT_TRUE(kept->Equals(kept));
  EXPECT_EQ(kept->debug().ToUtf8(), "+Object\n");
}

}  // namespace
