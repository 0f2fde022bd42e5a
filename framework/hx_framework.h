// Everything the application is written against.
#pragma once
#include "framework/hx_app.h"
#include "framework/hx_asyncevent.h"
#include "framework/hx_audio.h"
#include "framework/hx_graphics.h"
#include "framework/hx_input.h"
#include "framework/hx_map.h"
#include "framework/hx_math.h"
#include "framework/hx_random.h"
#include "framework/hx_stack.h"
