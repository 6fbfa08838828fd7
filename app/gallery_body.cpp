// The gallery builder's program body.
#include "runtime/core/program_body.h"

void program_body() {}
