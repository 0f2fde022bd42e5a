// Incremental mark-and-sweep collector and the root of every collected object.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

struct gc_object;
struct gc_interface;
class String;

inline void* gc_object_alloc(int size);
void gc_object_free(gc_object* p);
// Mends the header of an object whose storage was zeroed between allocation
// and construction (value-initialisation of a class without a user-provided
// constructor zero-fills the whole object, header included).
void gc_object_restore(gc_object* p);

// The collector's header of every object: list links and flags (bits 3 and
// up: size in bytes; bits 0-1: mark state). A plain struct so that the
// collector can fill it in a block before the object's constructor runs.
// (The empty constructor leaves the fields alone and lets derived classes
// use the header's tail padding for their first small field.)
struct gc_header {
  gc_object* succ;
  gc_object* pred;
  int flags;
  gc_header() {}
  constexpr gc_header(gc_object* s, gc_object* p, int f) : succ(s), pred(p), flags(f) {}
};

// Every collected object: vtable, then the header.
struct gc_object : gc_header {

  // The header was filled by gc_object_alloc before construction; leave it.
  // Bits 3 and up hold the size, which is never 0, so zero flags mean the
  // header was wiped by zero-initialisation.
  gc_object() {
    if (flags == 0) gc_object_restore(this);
  }
  struct permanent_tag {};
  // Permanent objects (static empty arrays) are in no list and have mark
  // state 3, which never equals gc_markbit.
  constexpr explicit gc_object(permanent_tag) : gc_header{nullptr, nullptr, 3} {}
  // List sentinels: an empty circular list, set up at constant
  // initialisation so that no static initialiser can find it unlinked.
  struct sentinel_tag {};
  constexpr gc_object(sentinel_tag, gc_object* self) : gc_header{self, self, 3} {}
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
// Garbage every collection step destroys before it marks (at least one
// object while there is garbage), so that objects holding outside resources
// (textures, sound buffers) are released even when the program allocates
// nothing. A completed cycle's worth (8 MiB) drains in 128 steps.
enum { GC_STEP_FREE = 64 * 1024 };

// The program's roots are queued by this hook, installed by the module that
// owns the globals (the framework). It may be null.
extern void (*gc_mark_roots)();

// A block from the C allocator.
void* gc_block_alloc(int size);
void gc_ext_malloced(int bytes);
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

// The most recent allocation and its header (see gc_object_restore).
extern gc_object* gc_last_alloc;
extern gc_object* gc_last_pred;
extern int gc_last_flags;

// Allocates a collected object's block and links it, white, at the end of
// the unmarked list; garbage of at least the same size is destroyed first.
// Every block holds at least the header.
inline void* gc_object_alloc(int size) {
  size = (size + 7) & ~7;
  if (size < static_cast<int>(sizeof(gc_object))) size = static_cast<int>(sizeof(gc_object));
  gc_new_bytes += size;
  if (gc_free_bytes > 0) gc_flush_free(size);

  // The block holds no object yet: its header is written as a gc_header.
  gc_object* p;
  if (size < 64 && gc_cache[size >> 3]) {
    p = gc_cache[size >> 3];
    gc_cache[size >> 3] = static_cast<gc_header*>(p)->succ;
  } else {
    p = static_cast<gc_object*>(gc_block_alloc(size));
  }
  gc_header* h = static_cast<gc_header*>(p);
  gc_object* last = gc_unmarked_list.pred;
  h->flags = gc_markbit | size;
  h->succ = &gc_unmarked_list;
  h->pred = last;
  static_cast<gc_header*>(last)->succ = p;
  gc_unmarked_list.pred = p;
  gc_last_alloc = p;
  gc_last_pred = last;
  gc_last_flags = h->flags;

  gc_alloced_bytes += size;
  if (gc_alloced_bytes > gc_max_alloced_bytes) gc_max_alloced_bytes = gc_alloced_bytes;
  return p;
}

// Number of objects in a list (tests and diagnostics).
int gc_list_count(const gc_object& list);
// True when p is a live collected object (in the unmarked, queued or marked
// list). Linear; for the debugger's object inspection.
bool gc_is_live_object(const void* p);

// Queue: a white object is flipped and moved to the queued list.
inline void gc_mark_q(gc_object* p) {
  if (p && (p->flags & 3) == gc_markbit) {
    p->flags ^= 1;
    p->succ->pred = p->pred;
    p->pred->succ = p->succ;
    gc_object* last = gc_queued_list.pred;
    p->succ = &gc_queued_list;
    p->pred = last;
    last->succ = p;
    gc_queued_list.pred = p;
  }
}

inline void gc_mark_q(gc_interface* p) {
  if (p) gc_mark_q(dynamic_cast<gc_object*>(p));
}
inline void gc_mark(gc_interface* p) {
  if (p) gc_mark(dynamic_cast<gc_object*>(p));
}

// Any collected class or interface pointer. A class that is both an Object
// and an interface is marked as the object it is.
template <class T>
inline void gc_mark_q(T* p) {
  if constexpr (std::is_base_of<gc_object, T>::value) {
    gc_mark_q(static_cast<gc_object*>(p));
  } else {
    static_assert(std::is_base_of<gc_interface, T>::value, "not a collected type");
    gc_mark_q(static_cast<gc_interface*>(p));
  }
}
template <class T>
inline void gc_mark(T* p) {
  if constexpr (std::is_base_of<gc_object, T>::value) {
    gc_mark(static_cast<gc_object*>(p));
  } else {
    static_assert(std::is_base_of<gc_interface, T>::value, "not a collected type");
    gc_mark(static_cast<gc_interface*>(p));
  }
}

// Write barrier: every store of a reference into a collected object's
// field or a module global goes through here.
template <class T, class V>
inline void gc_assign(T*& field, V* value) {
  gc_mark_q(value);
  field = value;
}
template <class T>
inline void gc_assign(T*& field, std::nullptr_t) {
  field = nullptr;
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
