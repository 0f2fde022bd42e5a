#include "framework/hx_asyncevent.h"

c_IAsyncEventSource* c_Stack2::m_NIL = nullptr;

void c_Stack2::p_Length(int n) {
  if (n < 0) n = 0;
  for (int i = n; i < m_length; ++i) m_data[i] = m_NIL;
  if (n > m_data.Length()) {
    int grown = m_length * 2 + 10;
    gc_assign(m_data, m_data.Resize(grown > n ? grown : n));
  }
  m_length = n;
}

void c_Stack2::p_Push(c_IAsyncEventSource* value) {
  int at = m_length;
  p_Length(at + 1);
  gc_mark_q(value);
  m_data[at] = value;
}

void c_Stack2::p_RemoveEach(c_IAsyncEventSource* value) {
  int put = 0;
  for (int i = 0; i < m_length; ++i) {
    if (m_data[i] != value) m_data[put++] = m_data[i];
  }
  p_Length(put);
}

bool c_Stack2::p_Contains(c_IAsyncEventSource* value) {
  for (int i = 0; i < m_length; ++i)
    if (m_data[i] == value) return true;
  return false;
}

void c_Stack2::mark() {
  Object::mark();
  gc_mark_q(m_data);
}

c_Stack2* hx_asyncevent__sources = nullptr;
c_IAsyncEventSource* hx_asyncevent__current = nullptr;

void hx_asyncevent_UpdateAsyncEvents() {
  if (hx_asyncevent__current) return;
  if (!hx_asyncevent__sources) return;
  int i = 0;
  while (i < hx_asyncevent__sources->p_Length2()) {
    c_IAsyncEventSource* source = hx_asyncevent__sources->p_Get(i);
    gc_assign(hx_asyncevent__current, source);
    source->p_UpdateAsyncEvents();
    // A source that removed itself cleared the current pointer: the
    // source that moved into its slot comes next.
    if (hx_asyncevent__current) ++i;
  }
  hx_asyncevent__current = nullptr;
}

void hx_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source) {
  if (!source || !hx_asyncevent__sources) return;
  if (hx_asyncevent__sources->p_Contains(source)) return;
  hx_asyncevent__sources->p_Push(source);
}

void hx_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource* source) {
  if (!hx_asyncevent__sources) return;
  if (source == hx_asyncevent__current) hx_asyncevent__current = nullptr;
  hx_asyncevent__sources->p_RemoveEach(source);
}
