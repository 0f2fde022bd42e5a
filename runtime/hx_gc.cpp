#include "runtime/hx_gc.h"

#include <cstdlib>

#include "runtime/hx_string.h"

int gc_markbit = 0;
int gc_new_bytes = 0;
int gc_alloced_bytes = 0;
int gc_max_alloced_bytes = 0;
int gc_marked_bytes = 0;
int gc_free_bytes = 0;
std::atomic<int> gc_ext_new_bytes{0};

gc_object gc_free_list{gc_object::sentinel_tag(), &gc_free_list};
gc_object gc_marked_list{gc_object::sentinel_tag(), &gc_marked_list};
gc_object gc_unmarked_list{gc_object::sentinel_tag(), &gc_unmarked_list};
gc_object gc_queued_list{gc_object::sentinel_tag(), &gc_queued_list};

gc_object* gc_cache[8];
gc_object* gc_locals[GC_LOCALS];
gc_object** gc_locals_sp = gc_locals;
void (*gc_mark_roots)() = nullptr;

gc_object* gc_last_alloc;
gc_object* gc_last_pred;
int gc_last_flags;

static inline void gc_remove(gc_object* p) {
  p->succ->pred = p->pred;
  p->pred->succ = p->succ;
}

static inline void gc_insert(gc_object* p, gc_object* list) {
  gc_object* pred = list->pred;
  p->succ = list;
  p->pred = pred;
  pred->succ = p;
  list->pred = p;
}

static inline int gc_size(const gc_object* p) { return p->flags & ~7; }

int gc_list_count(const gc_object& list) {
  int n = 0;
  for (const gc_object* p = list.succ; p != &list; p = p->succ) ++n;
  return n;
}

bool gc_is_live_object(const void* q) {
  if (!q) return false;
  for (const gc_object* list : {&gc_unmarked_list, &gc_queued_list, &gc_marked_list}) {
    for (const gc_object* p = list->succ; p != list; p = p->succ)
      if (p == q) return true;
  }
  return false;
}

void gc_object_restore(gc_object* p) {
  // Only the object just allocated can be under construction here; it is
  // still the last one of the unmarked list.
  if (p != gc_last_alloc || gc_unmarked_list.pred != p) return;
  p->succ = &gc_unmarked_list;
  p->pred = gc_last_pred;
  p->flags = gc_last_flags;
}

void gc_object_free(gc_object* p) {
  int size = gc_size(p);
  if (p->succ) {
    // A constructor failed: the object is still the white new object in
    // the unmarked list and its bytes are counted as allocated, not free.
    gc_remove(p);
    gc_alloced_bytes -= size;
  } else {
    gc_free_bytes -= size;
  }
  if (size < 64) {
    p->succ = gc_cache[size >> 3];
    gc_cache[size >> 3] = p;
  } else {
    free(p);
  }
}

void gc_flush_free(int size) {
  int bound = gc_free_bytes - size;
  if (bound < 0) bound = 0;
  while (gc_free_bytes > bound) {
    gc_object* p = gc_free_list.succ;
    if (p == &gc_free_list) {
      gc_free_bytes = 0;
      break;
    }
    gc_remove(p);
    // The next object to destroy is cold (it died a cycle ago); start
    // fetching it now, while this one is destroyed and the caller runs.
    gc_object* next = gc_free_list.succ;
    __builtin_prefetch(next, 1);
    __builtin_prefetch(reinterpret_cast<char*>(next) + 64, 1);
    p->succ = nullptr;  // unlinked: gc_object_free counts it as free bytes
    delete p;
  }
}

void* gc_block_alloc(int size) { return malloc(size); }

void gc_ext_malloced(int bytes) { gc_ext_new_bytes.fetch_add(bytes, std::memory_order_relaxed); }

void gc_mark(gc_object* p) {
  if (p && (p->flags & 3) == gc_markbit) {
    p->flags ^= 1;
    gc_remove(p);
    gc_insert(p, &gc_marked_list);
    gc_marked_bytes += gc_size(p);
    p->mark();
  }
}

void gc_mark() {
  if (gc_mark_roots) gc_mark_roots();
}

void gc_mark_queued(int budget) {
  while (gc_marked_bytes < budget && gc_queued_list.succ != &gc_queued_list) {
    gc_object* p = gc_queued_list.succ;
    gc_remove(p);
    gc_insert(p, &gc_marked_list);
    gc_marked_bytes += gc_size(p);
    p->mark();
  }
}

void gc_mark_locals() {
  for (gc_object** pp = gc_locals; pp < gc_locals_sp; ++pp) {
    if (*pp) gc_mark(*pp);
  }
}

void gc_sweep() {
  if (gc_alloced_bytes != gc_marked_bytes) gc_free_bytes += gc_alloced_bytes - gc_marked_bytes;
  // Splice every white object onto the end of the free list. (Checked on
  // the list rather than the counters so that no object can ever be left
  // behind in a list that is about to be overwritten.)
  if (gc_unmarked_list.succ != &gc_unmarked_list) {
    gc_object* head = gc_unmarked_list.succ;
    gc_object* tail = gc_unmarked_list.pred;
    gc_object* last = gc_free_list.pred;
    last->succ = head;
    head->pred = last;
    tail->succ = &gc_free_list;
    gc_free_list.pred = tail;
  }
  // The marked objects become the unmarked list of the next cycle.
  if (gc_marked_list.succ != &gc_marked_list) {
    gc_unmarked_list.succ = gc_marked_list.succ;
    gc_unmarked_list.succ->pred = &gc_unmarked_list;
    gc_unmarked_list.pred = gc_marked_list.pred;
    gc_unmarked_list.pred->succ = &gc_unmarked_list;
  } else {
    gc_unmarked_list.succ = gc_unmarked_list.pred = &gc_unmarked_list;
  }
  gc_marked_list.succ = gc_marked_list.pred = &gc_marked_list;

  gc_alloced_bytes = gc_marked_bytes;
  gc_marked_bytes = 0;
  gc_markbit ^= 1;
}

void gc_collect_all() {
  gc_mark_locals();
  gc_mark_queued(0x7fffffff);
  gc_sweep();
  gc_mark();
}

void gc_collect() {
  gc_locals_sp = gc_locals;
  // Destruction of garbage from earlier cycles: allocation pays for most of
  // it, but a program that allocates little would otherwise keep it (and
  // what its destructors release) for ever.
  if (gc_free_bytes > 0) gc_flush_free(GC_STEP_FREE);
  int ext = gc_ext_new_bytes.load(std::memory_order_relaxed);
  if (static_cast<long long>(ext) + gc_new_bytes < GC_TRIGGER + 1) {
    // Mark in proportion to what was allocated since the last cycle.
    long long target =
        gc_new_bytes +
        (static_cast<long long>(gc_alloced_bytes - gc_new_bytes) * gc_new_bytes) / GC_TRIGGER;
    if (target <= gc_marked_bytes) return;
    gc_mark_queued(static_cast<int>(target));
    return;
  }
  gc_ext_new_bytes.fetch_sub(ext, std::memory_order_relaxed);
  gc_mark_locals();
  gc_mark_queued(0x7fffffff);
  gc_sweep();
  gc_mark();
  gc_new_bytes = 0;
}

void gc_init1() {
  gc_free_list.succ = gc_free_list.pred = &gc_free_list;
  gc_marked_list.succ = gc_marked_list.pred = &gc_marked_list;
  gc_unmarked_list.succ = gc_unmarked_list.pred = &gc_unmarked_list;
  gc_queued_list.succ = gc_queued_list.pred = &gc_queued_list;
}

void gc_init2() { gc_mark(); }

String Object::debug() { return String("+Object\n"); }
