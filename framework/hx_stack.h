// Growable stacks of collected references.
#pragma once
#include "runtime/hx_runtime.h"

// Stack of object references; T is the element's class.
template <class T>
class c_Stack : public Object {
 public:
  Array<T*> m_data;
  int m_length = 0;

  c_Stack* m_new() { return this; }
  // A stack holding a copy of the array's entries.
  c_Stack* m_new2(Array<T*> data) {
    gc_assign(m_data, data.Slice(0, data.Length()));
    m_length = data.Length();
    return this;
  }

  void p_Push(T* value) {
    if (m_length == m_data.Length()) gc_assign(m_data, m_data.Resize((m_length + 5) * 2));
    // The array may already have been scanned; the element store needs the barrier too.
    gc_mark_q(value);
    m_data[m_length] = value;
    ++m_length;
  }
  // Removes and returns the top entry; null when empty.
  T* p_Pop() {
    if (m_length == 0) return nullptr;
    --m_length;
    T* value = m_data[m_length];
    m_data[m_length] = nullptr;
    return value;
  }
  int p_Length2() { return m_length; }
  bool p_IsEmpty() { return m_length == 0; }
  T* p_Get(int index) { return m_data[index]; }
  void p_Clear() {
    for (int i = 0; i < m_length; ++i) m_data[i] = nullptr;
    m_length = 0;
  }
  // The live entries in push order, in a new array of exactly that length
  // (the shared empty array when the stack is empty).
  Array<T*> p_ToArray() { return m_data.Slice(0, m_length); }

  void mark() override {
    Object::mark();
    gc_mark_q(m_data);
  }
};

struct c_IAsyncEventSource;

// The stack of async event sources. Unused slots hold m_NIL.
class c_Stack2 : public Object {
 public:
  static c_IAsyncEventSource* m_NIL;

  Array<c_IAsyncEventSource*> m_data;
  int m_length = 0;

  c_Stack2* m_new() { return this; }

  void p_Length(int n);
  int p_Length2() { return m_length; }
  c_IAsyncEventSource* p_Get(int index) { return m_data[index]; }
  void p_Push(c_IAsyncEventSource* value);
  // Removes every entry equal to value, keeping the order of the others.
  void p_RemoveEach(c_IAsyncEventSource* value);
  bool p_Contains(c_IAsyncEventSource* value);

  void mark() override;
};
