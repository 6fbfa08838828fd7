// Test body for the fault sweep: one scenario (RT_SCENARIO) of runtime calls, its results printed as
// lines; built with the fault layer, which fails one chosen call.
#include <windows.h>

#include "runtime/program/program_body.h"
#include "runtime/system/file_access.h"
#include "tests/support/body_output.h"

void program_body() {
    assign_file(1, RtString("C:\\rt_fault_x.txt"));
    rewrite_file(1);
    body_printf("rewrite=%d", io_result);
    print_to_file(1, RtString("hello"), 2, 1);
    close_file(1);
    body_printf("close=%d", io_result);
}
