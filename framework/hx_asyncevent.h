// Per-update pump of asynchronous event sources.
#pragma once
#include "runtime/hx_runtime.h"
#include "framework/hx_stack.h"

struct c_IAsyncEventSource : public virtual gc_interface {
  virtual void p_UpdateAsyncEvents() = 0;
};

// Registered sources, in registration order (created by hx_framework_Init).
extern c_Stack2* hx_asyncevent__sources;
// The source being pumped, or null outside the pump.
extern c_IAsyncEventSource* hx_asyncevent__current;

// Calls every registered source once; re-entrant calls return at once.
void hx_asyncevent_UpdateAsyncEvents();
void hx_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source);
// Unregisters a source; a source may remove itself while it is pumped.
void hx_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource* source);
