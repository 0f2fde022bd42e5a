// Everything the rest of the program needs from the runtime core.
#pragma once
#include "runtime/hx_gc.h"
#include "runtime/hx_string.h"
#include "runtime/hx_error.h"
