// Red-black map, object stacks, the random stream, math helpers and the
// async event pump.
#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <vector>
#include "framework/hx_asyncevent.h"
#include "framework/hx_map.h"
#include "framework/hx_math.h"
#include "framework/hx_random.h"
#include "framework/hx_stack.h"

namespace {

struct Val : Object {
  int v = 0;
  explicit Val(int x) : v(x) {}
};

// Black height of the subtree, or -1 when an invariant is broken.
int CheckNode(c_Node<Val>* n, c_Node<Val>* parent, std::vector<int>& keys, std::string& why) {
  if (!n) return 1;
  if (n->m_parent != parent) {
    why = "parent link of " + std::to_string(n->m_key);
    return -1;
  }
  if (n->m_color != 1 && n->m_color != -1) {
    why = "colour of " + std::to_string(n->m_key);
    return -1;
  }
  if (n->m_color == -1 && ((n->m_left && n->m_left->m_color == -1) || (n->m_right && n->m_right->m_color == -1))) {
    why = "red-red at " + std::to_string(n->m_key);
    return -1;
  }
  int lh = CheckNode(n->m_left, n, keys, why);
  if (lh < 0) return -1;
  keys.push_back(n->m_key);
  int rh = CheckNode(n->m_right, n, keys, why);
  if (rh < 0) return -1;
  if (lh != rh) {
    why = "black heights differ at " + std::to_string(n->m_key);
    return -1;
  }
  return lh + (n->m_color == 1 ? 1 : 0);
}

// Root black, no red-red, equal black heights, parents consistent, keys
// strictly increasing in order. Returns the in-order keys.
std::vector<int> CheckTree(c_IntMap<Val>* map) {
  std::vector<int> keys;
  std::string why;
  if (map->m_root) {
    EXPECT_EQ(map->m_root->m_color, 1) << "root must be black";
  }
  EXPECT_GE(CheckNode(map->m_root, nullptr, keys, why), 0) << why;
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LT(keys[i - 1], keys[i]);
  return keys;
}

TEST(FwMap, SetTwiceKeepsOneNodeAndSecondValueWins) {
  auto* map = (new c_IntMap<Val>)->m_new();
  Val* a = new Val(1);
  Val* b = new Val(2);
  EXPECT_TRUE(map->p_Set(7, a));
  EXPECT_FALSE(map->p_Set(7, b));
  EXPECT_EQ(map->p_Count(), 1);
  EXPECT_EQ(map->p_Get(7), b);
  EXPECT_TRUE(map->p_Contains(7));
  EXPECT_FALSE(map->p_Contains(8));
  EXPECT_EQ(map->p_FindNode(8), nullptr);
  EXPECT_TRUE(map->p_Insert(8, a));
  EXPECT_EQ(map->p_FindNode(8)->m_value, a);
}

// Insertion orders that hit every fix-up case (both sides, both rotations).
TEST(FwMap, InvariantsForFixedOrders) {
  const std::vector<std::vector<int>> orders = {
      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},      // ascending: left rotations
      {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},      // descending: right rotations
      {10, 5, 7, 20, 15, 17, 1, 3, 2},      // zig-zags on both sides
      {0, INT_MIN / 4, INT_MAX / 4, -1, 1},  // negative keys
  };
  for (const auto& order : orders) {
    auto* map = (new c_IntMap<Val>)->m_new();
    for (int k : order) EXPECT_TRUE(map->p_Set(k, new Val(k)));
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(CheckTree(map), sorted);
  }
}

TEST(FwMap, RandomInsertsAndRemovesKeepInvariants) {
  std::mt19937 rng(42);
  auto* map = (new c_IntMap<Val>)->m_new();
  std::map<int, Val*> model;
  for (int step = 0; step < 6000; ++step) {
    int key = static_cast<int>(rng() % 2000) - 1000;
    if (step < 3000 || rng() % 3 != 0) {
      Val* v = new Val(key);
      bool inserted = model.find(key) == model.end();
      EXPECT_EQ(map->p_Set(key, v), inserted);
      model[key] = v;
    } else {
      bool present = model.erase(key) > 0;
      EXPECT_EQ(map->p_Remove(key), present);
    }
    if (step % 500 == 0) CheckTree(map);
  }
  std::vector<int> keys = CheckTree(map);
  ASSERT_EQ(keys.size(), model.size());
  // Ordered iteration through the successor walk matches the model.
  auto it = model.begin();
  for (auto* n = map->p_FirstNode(); n; n = n->p_NextNode(), ++it) {
    ASSERT_NE(it, model.end());
    EXPECT_EQ(n->m_key, it->first);
    EXPECT_EQ(n->m_value, it->second);
  }
  // Remove everything: the map ends empty.
  for (auto& kv : model) EXPECT_TRUE(map->p_Remove(kv.first));
  EXPECT_TRUE(map->p_IsEmpty());
  EXPECT_FALSE(map->p_Remove(0));
}

TEST(FwMap, IntMapComparesByWrappingSubtraction) {
  auto* map = (new c_IntMap<Val>)->m_new();
  EXPECT_EQ(map->p_Compare(3, 5), -2);
  EXPECT_EQ(map->p_Compare(INT_MAX, -1), INT_MIN);  // wraps: INT_MAX sorts "below" -1
  EXPECT_EQ(map->p_Compare((640 << 16) | 480, (800 << 16) | 600) < 0, true);
}

TEST(FwStack, GrowthTenThenThirty) {
  auto* s = (new c_Stack<Val>)->m_new();
  EXPECT_TRUE(s->m_data.IsNullRep());
  EXPECT_TRUE(s->p_ToArray().IsNullRep());
  struct Case { int pushes, capacity; };
  const Case cases[] = {{1, 10}, {10, 10}, {11, 30}, {30, 30}, {31, 70}};
  int pushed = 0;
  std::vector<Val*> vals;
  for (const Case& c : cases) {
    while (pushed < c.pushes) {
      vals.push_back(new Val(pushed));
      s->p_Push(vals.back());
      ++pushed;
    }
    EXPECT_EQ(s->m_data.Length(), c.capacity) << "after " << c.pushes << " pushes";
    EXPECT_EQ(s->m_length, c.pushes);
  }
  Array<Val*> out = s->p_ToArray();
  ASSERT_EQ(out.Length(), 31);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(out[i], vals[i]);
  EXPECT_EQ(s->m_data[31], nullptr);  // slots past the end are null
  EXPECT_EQ(s->p_Pop(), vals[30]);
  EXPECT_EQ(s->p_ToArray().Length(), 30);
}

struct Source : Object, c_IAsyncEventSource {
  std::vector<int>* log;
  int id;
  bool removeSelf = false;
  Source(std::vector<int>* l, int i) : log(l), id(i) {}
  void p_UpdateAsyncEvents() override {
    log->push_back(id);
    if (removeSelf) hx_asyncevent_RemoveAsyncEventSource(this);
    else hx_asyncevent_UpdateAsyncEvents();  // re-entry returns at once
  }
};

TEST(FwStack2, LengthRulesResetSlotsAndGrow) {
  auto* s = (new c_Stack2)->m_new();
  std::vector<int> log;
  struct Case { int length, capacity; };
  const Case cases[] = {{1, 10}, {10, 10}, {11, 30}, {100, 100}, {5, 100}};
  for (const Case& c : cases) {
    s->p_Length(c.length);
    EXPECT_EQ(s->p_Length2(), c.length);
    EXPECT_EQ(s->m_data.Length(), c.capacity);
  }
  Source* a = new Source(&log, 1);
  s->p_Length(0);
  s->p_Push(a);
  s->p_Push(a);
  s->p_Length(1);
  EXPECT_EQ(s->m_data[1], c_Stack2::m_NIL);
  EXPECT_EQ(s->p_Get(0), a);
}

TEST(FwAsyncEvent, PumpVisitsEachSourceAndSelfRemovalSkipsNone) {
  hx_asyncevent__sources = (new c_Stack2)->m_new();
  hx_asyncevent__current = nullptr;
  std::vector<int> log;
  hx_asyncevent_UpdateAsyncEvents();  // nothing registered
  EXPECT_TRUE(log.empty());
  Source* s1 = new Source(&log, 1);
  Source* s2 = new Source(&log, 2);
  Source* s3 = new Source(&log, 3);
  for (Source* s : {s1, s2, s3}) hx_asyncevent_AddAsyncEventSource(s);
  s2->removeSelf = true;
  hx_asyncevent_UpdateAsyncEvents();
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(hx_asyncevent__current, nullptr);
  log.clear();
  hx_asyncevent_UpdateAsyncEvents();
  EXPECT_EQ(log, (std::vector<int>{1, 3}));
}

TEST(FwRandom, SequenceFromSeed1234MatchesTheLcg) {
  hx_random_Seed = 1234;
  uint32_t seed = 1234;
  for (int i = 0; i < 1000; ++i) {
    seed = seed * 1664525u + 1013904223u;
    float expected = static_cast<float>(seed >> 8) / 16777216.0f;
    ASSERT_EQ(hx_random_Rnd(), expected) << "draw " << i;
    ASSERT_EQ(hx_random_Seed, static_cast<int>(seed));
  }
  // First draws worked by hand: 1234 * 1664525 + 1013904223 = 3067928073 (mod 2^32).
  hx_random_Seed = 1234;
  EXPECT_EQ(hx_random_Rnd(), 11984094.0f / 16777216.0f);
  EXPECT_EQ(hx_random_Seed, static_cast<int>(3067928073u));
  float r = hx_random_Rnd();
  EXPECT_GE(r, 0.0f);
  EXPECT_LT(r, 1.0f);
  hx_random_Seed = 1234;
  float base = hx_random_Rnd();
  hx_random_Seed = 1234;
  EXPECT_FLOAT_EQ(hx_random_Rnd2(10.0f, 20.0f), 10.0f + 10.0f * base);
  hx_random_Seed = 1234;
  EXPECT_FLOAT_EQ(hx_random_Rnd3(5.0f), 5.0f * base);
  // The largest seed step still stays below 1.
  hx_random_Seed = static_cast<int>((0xFFFFFFFFu - 1013904223u) * 0xFEE058C5u);  // inverse of 1664525 mod 2^32
  EXPECT_LT(hx_random_Rnd(), 1.0f);
}

TEST(FwMath, Table) {
  EXPECT_EQ(hx_math_Abs(-5), 5);
  EXPECT_EQ(hx_math_Abs(7), 7);
  EXPECT_EQ(hx_math_Abs(INT_MIN), INT_MIN);
  EXPECT_EQ(hx_math_Abs2(-2.5f), 2.5f);
  EXPECT_EQ(hx_math_Max(3, -4), 3);
  EXPECT_EQ(hx_math_Max2(-1.5f, -1.0f), -1.0f);
  EXPECT_EQ(hx_math_Min(3, -4), -4);
}

}  // namespace

namespace {
c_IntMap<Val>* g_map = nullptr;
c_Stack<Val>* g_stack = nullptr;
void MarkTestRoots() {
  gc_mark_q(g_map);
  gc_mark_q(g_stack);
}

// Tree rotations and stack growth under incremental marking: every value
// stays reachable through the barrier stores, across completed cycles.
TEST(FwCollector, MapAndStackSurviveIncrementalAndFullCycles) {
  void (*saved)() = gc_mark_roots;
  gc_mark_roots = MarkTestRoots;
  // Module globals are stored through the barrier, as the program does.
  gc_assign(g_map, (new c_IntMap<Val>)->m_new());
  gc_assign(g_stack, (new c_Stack<Val>)->m_new());
  gc_collect_all();
  std::mt19937 rng(7);
  std::map<int, int> model;
  for (int i = 0; i < 20000; ++i) {
    int key = static_cast<int>(rng() % 4000);
    if (rng() % 4 == 0) {
      g_map->p_Remove(key);
      model.erase(key);
    } else {
      g_map->p_Set(key, new Val(key * 3));
      model[key] = key * 3;
    }
    g_stack->p_Push(new Val(i));
    // Garbage that must be reclaimed.
    for (int j = 0; j < 4; ++j) (void)new Val(-1);
    gc_collect();
    if (i % 997 == 0) gc_collect_all();
  }
  gc_collect_all();
  gc_collect_all();
  // Allocating now destroys what the sweeps freed; live objects must be intact.
  for (int j = 0; j < 50000; ++j) (void)new Val(-2);
  auto it = model.begin();
  for (auto* n = g_map->p_FirstNode(); n; n = n->p_NextNode(), ++it) {
    ASSERT_NE(it, model.end());
    ASSERT_EQ(n->m_key, it->first);
    ASSERT_EQ(n->m_value->v, it->second);
  }
  EXPECT_EQ(it, model.end());
  for (int i = 0; i < g_stack->m_length; ++i) ASSERT_EQ(g_stack->p_Get(i)->v, i);
  CheckTree(g_map);
  g_map = nullptr;
  g_stack = nullptr;
  gc_mark_roots = saved;
}
}  // namespace
