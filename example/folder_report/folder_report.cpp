// folder_report FOLDER PATTERN: for every text file below FOLDER, the number of its lines and of
// the matches of the regular expression PATTERN in them (the runtime's dialect: ~ escapes), as a
// table in the text window and in folder_report.txt beside the program. folder_report.ini beside
// the program names the text files and whether the window stays open.
#include <windows.h>

#include "runtime/core/core_state.h"
#include "runtime/core/errors.h"
#include "runtime/program/program_body.h"
#include "runtime/settings/set_switch.h"
#include "runtime/system/file_access.h"
#include "runtime/system/file_list.h"
#include "runtime/system/ini_registry.h"
#include "runtime/system/system_helpers.h"
#include "runtime/values/regex_dialect.h"
#include "runtime/values/string_functions.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_state.h"

namespace {

constexpr int32_t kReport = 1;  // file channel of folder_report.txt
constexpr int32_t kText = 2;    // file channel of the text file being read
constexpr int32_t kNameWidth = 44;
constexpr int32_t kBlack = 0, kBlue = 1, kRed = 12, kGrey = 8;  // palette indices

void set_int_switch(const char* name, int32_t value) {
    int32_t literal = value;
    RtValue argument = value_from_int(value, &literal);
    RtValue previous;
    set_switch(previous, RtString(name), 1, &argument);
}

// One line of the report: into the text window, in a colour, and into the report file.
void report(const RtString& line, int32_t colour) {
    g_windows.text_colour = colour;
    print_text(line, kPrintNewLine, false, false);
    print_to_file(kReport, line, 2, 1);
}

// A number right-aligned in the width of the numwidth switch (set at the start).
RtString number(int32_t n) {
    return RtString().assign_int(n);
}

RtString row(const RtString& name, const RtString& lines, const RtString& matches) {
    RtString text = name;
    if (text.length < kNameWidth) {
        text.append(string_spaces(kNameWidth - text.length));
    }
    return concat(concat(text, lines), matches);
}

// string_replace with the regex switch on replaces every match; each becomes the byte 1, and the
// line's own bytes 1 are not counted.
int32_t count_matches(const RtString& line, const RtString& pattern) {
    const RtString mark("\x01");
    return string_count(string_replace(line, pattern, mark), mark) - string_count(line, mark);
}

// A setting of folder_report.ini beside the program. A relative INI file name would be looked for
// in the Windows folder, so the name is made full.
RtString setting(const char* key, const char* fallback) {
    RtString value = read_ini(concat(program_directory(), "folder_report.ini"), RtString("Bericht"), RtString(key));
    return value.length != 0 ? value : RtString(fallback);
}

// The path of a list entry below the current folder, for the table.
RtString below(const RtString& path, const RtString& folder) {
    if (path.length > folder.length && string_left(path, folder.length) == folder) {
        return string_right(path, path.length - folder.length - 1);
    }
    return path;
}

// Counts one file through the reading channel; false when it cannot be opened.
bool count_file(const RtString& path, const RtString& pattern, int32_t* lines, int32_t* matches) {
    assign_file(kText, path);
    reset_file(kText);
    if (io_result != 0) {
        return false;
    }
    while (end_of_file(kText) == 0) {
        RtString line = read_line(kText);
        *lines += 1;
        *matches += count_matches(line, pattern);
    }
    close_file(kText);
    return true;
}

void write_report(const RtString& folder, const RtString& pattern) {
    report(concat(concat("Ordner: ", folder), concat("   Muster: ", pattern)), kBlue);
    if (int32_t code = regex_compile_error(pattern)) {
        report(concat(error_message(284), pattern), kRed);  // "Fehler im Regulären Ausdruck: "
        report(concat("Code ", string_trim(number(code))), kRed);
        return;
    }
    if (change_directory(folder) == 0) {  // io result 2
        report(concat("Ordner nicht gefunden: ", folder), kRed);
        return;
    }
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    RtString masks = setting("Dateien", "*.txt");
    for (int32_t i = 1; i <= string_count(masks, RtString(";")) + 1; ++i) {
        add_files(string_trim(string_field(masks, i, RtString(";"))), 1);
    }

    report(row(RtString("Datei"), RtString("   Zeilen"), RtString("  Treffer")), kBlack);
    int32_t total_lines = 0, total_matches = 0;
    for (int32_t i = 0; i <= last_index; ++i) {
        RtString name = below(list_item(i), RtString(current));
        int32_t lines = 0, matches = 0;
        if (!count_file(list_item(i), pattern, &lines, &matches)) {
            report(row(name, RtString("   nicht lesbar"), RtString()), kRed);
            continue;
        }
        report(row(name, number(lines), number(matches)), matches != 0 ? kBlack : kGrey);
        total_lines += lines;
        total_matches += matches;
    }
    RtString files = concat(number(last_index + 1), " Dateien");
    report(row(string_trim(files), number(total_lines), number(total_matches)), kBlue);
}

}  // namespace

void program_body() {
    set_int_switch("numwidth", 9);
    set_int_switch("regex", 1);
    g_windows.title = RtString("Ordnerbericht");  // read when the text window is made
    place_window(20, 10, 600, 400);
    if (parameter_count() < 2) {
        g_windows.text_colour = kRed;
        print_text(RtString("Aufruf: folder_report ORDNER MUSTER"), kPrintNewLine, false, false);
    } else {
        RtString output = concat(program_directory(), "folder_report.txt");
        assign_file(kReport, output);
        rewrite_file(kReport);
        if (io_result != 0) {
            g_windows.text_colour = kRed;
            print_text(concat(error_message(301), output), kPrintNewLine, false, false);
        }
        write_report(parameter_string(1), parameter_string(2));
        close_file(kReport);
    }
    if (setting("Warten", "1") == "0") {
        return;
    }
    g_windows.text_colour = kGrey;
    print_text(RtString("Schlie\xDF"
                        "en Sie das Fenster, um das Programm zu beenden."),
               kPrintNewLine, false, false);
    for (;;) {
        pause(1000);
    }
}
