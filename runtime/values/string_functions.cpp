// Placeholder until the string functions land: just enough for the runtime to link.
#include "runtime/values/string_functions.h"

#include "runtime/settings/switch_vars.h"

RtString string_left(const RtString& s, int32_t) { return s; }
RtString string_right(const RtString& s, int32_t) { return s; }
RtString string_field(const RtString& s, int32_t, const RtString&) { return s; }
RtString string_trim(const RtString& s) { return s; }
RtString string_insert(const RtString&, const RtString& s, int32_t) { return s; }
RtString string_spaces(int32_t) { return RtString(); }
RtString string_upper(const RtString& s) { return s; }
RtString string_lower(const RtString& s) { return s; }
RtString string_replace(const RtString& s, const RtString&, const RtString&) { return s; }
int32_t string_count(const RtString&, const RtString&) { return 0; }
const char* string_find(const char*, const char*, int32_t, int32_t) { return nullptr; }

void init_string_functions() {
    g_switches.regex = 0;
}
