// Incremental mark-and-sweep collector and the root of every collected object.
#pragma once
#include <cstddef>
#include <cstdint>
#include <atomic>

struct gc_object;
struct gc_interface;
class String;

void* gc_object_alloc(int size);
void gc_object_free(gc_object* p);

// Every collected object: vtable, list links and flags (size | mark state).
struct gc_object {
  gc_object* succ;
  gc_object* pred;
  int flags;

  // The header was filled by gc_object_alloc before construction; leave it.
  gc_object() {}
  struct permanent_tag {};
  // Permanent objects (static empty arrays, list sentinels) are in no list
  // and have mark state 3, which never equals gc_markbit.
  explicit gc_object(permanent_tag) : succ(nullptr), pred(nullptr), flags(3) {}
  gc_object(const gc_object&) = delete;
  gc_object& operator=(const gc_object&) = delete;
  virtual ~gc_object() {}
  virtual void mark() {}

  static void* operator new(size_t size) { return gc_object_alloc(static_cast<int>(size)); }
  static void* operator new(size_t size, int extra) {
    return gc_object_alloc(static_cast<int>(size) + extra);
  }
  static void operator delete(void* p) { gc_object_free(static_cast<gc_object*>(p)); }
  static void operator delete(void* p, int) { gc_object_free(static_cast<gc_object*>(p)); }
};

// Virtual base of interfaces; an interface reference is marked through a
// dynamic_cast to the object it lives in.
struct gc_interface {
  virtual ~gc_interface() {}
};

// ---- collector state (exposed for the host, tests and benchmarks) ----
extern int gc_markbit;
extern int gc_new_bytes;
extern int gc_alloced_bytes;
extern int gc_max_alloced_bytes;
extern int gc_marked_bytes;
extern int gc_free_bytes;
extern std::atomic<int> gc_ext_new_bytes;

extern gc_object gc_free_list;
extern gc_object gc_marked_list;
extern gc_object gc_unmarked_list;
extern gc_object gc_queued_list;
extern gc_object* gc_cache[8];

enum { GC_LOCALS = 8192 };
extern gc_object* gc_locals[GC_LOCALS];
extern gc_object** gc_locals_sp;

// Threshold of new bytes (collected + outside) at which a step completes the cycle.
enum { GC_TRIGGER = 8 * 1024 * 1024 };

// The program's roots are queued by this hook, installed by the module that
// owns the globals (the framework). It may be null.
extern void (*gc_mark_roots)();

void gc_ext_malloced(int bytes);
void gc_mark_q(gc_object* p);
void gc_mark(gc_object* p);
void gc_mark();
void gc_mark_queued(int budget);
void gc_mark_locals();
void gc_sweep();
void gc_flush_free(int size);
void gc_collect();
void gc_collect_all();
void gc_init1();
void gc_init2();

// Number of objects in a list (tests and diagnostics).
int gc_list_count(const gc_object& list);

inline void gc_mark_q(gc_interface* p) {
  if (p) gc_mark_q(dynamic_cast<gc_object*>(p));
}
inline void gc_mark(gc_interface* p) {
  if (p) gc_mark(dynamic_cast<gc_object*>(p));
}

// Write barrier: every store of a reference into a collected object's
// field or a module global goes through here.
template <class T, class V>
inline void gc_assign(T*& field, V* value) {
  gc_mark_q(value);
  field = value;
}
// Variant that marks at once instead of queueing.
template <class T, class V>
inline void gc_assign_mark(T*& field, V* value) {
  gc_mark(value);
  field = value;
}

// Root of all framework and game classes.
struct Object : gc_object {
  virtual bool Equals(Object* obj) { return this == obj; }
  virtual int Compare(Object* obj) {
    return static_cast<int>(reinterpret_cast<intptr_t>(this) - reinterpret_cast<intptr_t>(obj));
  }
  virtual String debug();
};

// Base of objects thrown as language exceptions.
struct ThrowableObject : Object {};
