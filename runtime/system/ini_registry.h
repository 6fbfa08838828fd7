/// \file
/// read_ini: one reader for two stores, an INI file or, for a file name that begins with "HKEY_",
/// the registry (root names "HKEY_0" to "HKEY_6", "_DW_" for a number). Worker thread.
#pragma once

#include <windows.h>

#include "runtime/values/rt_string.h"

/// A value of an INI file or of the registry, as text.
///
/// **INI file** (\p file does not begin with "HKEY_", in any case): the entry \p key of the
/// section \p section of \p file (GetPrivateProfileStringA). A file name without a folder is
/// looked for in the Windows folder, not in the current or the program's folder: give a full
/// name (program_directory() + "name.ini"). A missing file, section or entry gives "" silently;
/// a value is cut to 255 bytes.
///
/// **Registry**: \p file names the root, \p section the key path below it, \p key the value name
/// ("" the key's default value). Roots: "HKEY_0" HKEY_CLASSES_ROOT, "HKEY_1" HKEY_CURRENT_USER,
/// "HKEY_2" HKEY_LOCAL_MACHINE, "HKEY_3" HKEY_USERS, "HKEY_4" HKEY_PERFORMANCE_DATA, "HKEY_5"
/// HKEY_CURRENT_CONFIG, "HKEY_6" HKEY_DYN_DATA, in any case; characters after the sixth are
/// ignored. "_DW_" in the root name ("HKEY_DW_1") reads a 32-bit number (REG_DWORD) and gives
/// it as signed decimal text ("-1"); without it the value is read as a string: REG_SZ,
/// REG_EXPAND_SZ (not expanded) or the first string of REG_MULTI_SZ, at most 256 bytes.
/// A root that matches no row, or a key that cannot be opened: warning 305 "REGISTRY: " with
/// `RegOpenKeyEx scheiterte f&uuml;r "` + \p section + `".`; a value that is missing or too long:
/// warning 305 with `"` + \p section + `" nicht in "` + \p key + `" gefunden.`; both give "". A
/// value of another type, or an empty one, gives "" silently. Leaves io_result alone.
RtString read_ini(const RtString& file, const RtString& section, const RtString& key);
/// The predefined root that the root name \p name stands for ("HKEY_0" to "HKEY_6", "_DW_"
/// removed first, in any case); null when it matches no row.
HKEY registry_root(const RtString& name);
