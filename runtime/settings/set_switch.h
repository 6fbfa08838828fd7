/// \file
/// set_switch: the program body's one way to read and change a runtime switch by name, with the
/// special storing rules of some switches and the fast-loop requests that fastmode posts to the
/// main thread. The switches, their defaults and their rules are the page \ref switches. Worker
/// thread only.
#pragma once

#include <cstdint>

#include "runtime/values/rt_value.h"

/// Stores the first of the \p count arguments (pointers to RtValue; callers pass one, at most 31
/// fit) in the switch called \p name (compared without regard to case) and returns the previous
/// value in \p result: an integer value for integer switches (`randseed` always gives 0), a string
/// value for string switches. Integer switches take the argument's int_value, string switches its
/// text, whatever its kind. A name that is no switch is error 262 "Unbekannter Schalter: " with the
/// name in capitals; then \p result is the string value "" and no switch changes. Returns
/// \p result. Never waits for the main thread.
RtValue& set_switch(RtValue& result, const RtString& name, int32_t count, ...);

/// The errorlevel step of set_switch(): -2 while `fastmode` is 0 turns `fastmode` on, the current
/// value while `fastmode` is on turns it off (errorlevel stays in both cases); any other \p value
/// becomes the errorlevel.
void apply_errorlevel(int32_t value);

/// How `pdc` 0 returns drawing to the text window's device context.
using DrawingDcReset = void (*)();
/// Installs \p reset, called when `pdc` is set to 0. The window subsystem installs it at start-up.
void install_drawing_dc_reset(DrawingDcReset reset);
