// Splitting of the process command line into tokens. Pure C++: token 0 is the program as typed,
// tokens 1 and up are the parameters.
#pragma once

#include <vector>

#include "runtime/values/rt_string.h"

// Blanks (only the space) separate tokens; a double quote at the start of a token groups up to the
// next double quote or the end; there is no escape character; a quote inside an unquoted token is
// an ordinary character and text right after a closing quote starts a new token.
std::vector<RtString> split_command_line(const char* text);
