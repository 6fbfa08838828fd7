// A small program of the runtime: it places the text window, prints coloured, wrapped and
// scrolled text, asks one question through the input dialog and greets the answer. Closing the
// window ends it.
#include <string>

#include "runtime/program/program_body.h"
#include "runtime/core/requests.h"
#include "runtime/values/rt_string.h"
#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/text_output.h"
#include "runtime/windows/window_state.h"

namespace {

void print(const char* text, int32_t colour, int32_t end = kPrintNewLine, bool wrap = false) {
    g_windows.text_colour = colour;
    print_text(RtString(text), end, wrap, false);
}

}  // namespace

void program_body() {
    place_window(40, 30, 520, 330);
    clear_window();

    // More lines than the window holds: it scrolls up one line at a time.
    for (int line = 1; line <= 30; ++line) {
        std::string text = "Zeile " + std::to_string(line) + (line % 5 == 0 ? " - das Fenster rollt" : "");
        print(text.c_str(), line % 5 == 0 ? 4 : 8);
    }
    print("Hallo aus der Brisko-Laufzeit!", 1);
    const char* colours[] = {"Rot", "Gr\xFCn", "Blau", "Violett", "T\xFCrkis", "Oliv", "Schwarz"};
    const int32_t indices[] = {12, 2, 9, 3, 5, 6, 0};
    for (int i = 0; i < 7; ++i) {
        print(colours[i], indices[i], i < 6 ? kPrintSpace : kPrintNewLine);
    }
    print(
        "Ein langer Satz bricht am rechten Rand um, wenn das Umbrechen eingeschaltet ist: "
        "der Rest erscheint am Anfang der n\xE4"
        "chsten Zeile.",
        0, kPrintNewLine, true);

    RtString name("Welt");
    InputDialogRecord question = {
        "Wie hei\xDF"
        "en Sie?",
        "Frage", &name};
    post_request(kReqInputDialog, &question);
    if (dialog_result_flag() == 1) {
        print(("Guten Tag, " + std::string(name.c_str()) + "!").c_str(), 2);
    } else {
        print("Keine Antwort.", 12);
    }
    print(
        "Schlie\xDF"
        "en Sie das Fenster, um das Programm zu beenden.",
        8);
    for (;;) {
        send_request(kReqPause, 1000);
    }
}
