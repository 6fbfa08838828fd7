// Lists the programs in its own folder: in the text window, and into the file named by its first
// parameter. It ends when the list is written.
#include "runtime/program/program_body.h"
#include "runtime/core/core_state.h"
#include "runtime/system/file_access.h"
#include "runtime/system/file_list.h"
#include "runtime/system/system_helpers.h"
#include "runtime/windows/text_output.h"

void program_body() {
    print_text(RtString("Programme in meinem Ordner:"), kPrintNewLine, false, false);
    change_directory(program_directory());
    add_files(RtString("*.exe"), 0);
    assign_file(1, parameter_string(1));
    rewrite_file(1);
    for (int32_t i = 0; i <= last_index; ++i) {
        print_text(list_item(i), kPrintNewLine, false, false);
        print_to_file(1, list_item(i), 2, 0);
    }
    close_file(1);
}
