// read_ini: one reader for two stores, an INI file or, for a file name that begins with "HKEY_",
// the registry (root names "HKEY_0" to "HKEY_6", "_DW_" for a number). Worker thread.
#pragma once

#include <windows.h>

#include "runtime/values/rt_string.h"

RtString read_ini(const RtString& file, const RtString& section, const RtString& key);
// The predefined root that name stands for; null when it matches no row.
HKEY registry_root(const RtString& name);
