#include <gtest/gtest.h>

#include <string>

#include "runtime/core/errors.h"

namespace {

struct MessageCase {
    int32_t code;
    const char* argument;
    const char* message;
};

TEST(ErrorTable, MessagesAreTheWindows1252Texts) {
    const MessageCase cases[] = {
        {209, "C:\\a.jpg", "Datei nicht gefunden: C:\\a.jpg"},
        {601, nullptr, "Datei nicht gefunden: "},
        {208, nullptr, "Kommandozeilenparameter fehlt!"},
        {205, nullptr, "Substring-Nr ist < 1 !"},
        {207, "x", "Bereichsgrenze \xFC" "berschritten: x"},
        {223, nullptr, "Negative Fenstergr\xF6\xDF" "e!"},
        {237, nullptr, "Der Befehl setzt ein Fenster vorraus!"},
        {248, "f", "Funktion in DLL nicht vohanden: f"},
        {262, "FOO", "Unbekannter Schalter: FOO"},
        {305, nullptr, "REGISTRY: "},
        {407, nullptr, "Fehler in QUBE-Datei:"},
        {411, nullptr, "Ung\xFC" "ltger Objekttyp: "},
        {504, nullptr, " S\xE4tze bearbeitet!"},
        {999, nullptr, ""},
        {999, "arg", "arg"},
        {0, nullptr, ""},
    };
    for (const MessageCase& c : cases) {
        RtString message = compose_message(c.code, c.argument);
        EXPECT_EQ(std::string(message.c_str(), static_cast<size_t>(message.length)), c.message) << c.code;
    }
    EXPECT_STREQ(error_message(240).c_str(), "Zu wenig Speicher f\xFC" "r Bereichs-Variable!");
}

int g_calls = 0;
int32_t g_code = 0;

void record(int32_t code, const char*) {
    ++g_calls;
    g_code = code;
}

TEST(ErrorTable, ReportsGoToTheInstalledRoutines) {
    report_error(204, nullptr);  // nothing installed: ignored
    install_report_routines(record, nullptr);
    report_error(204, nullptr);
    report_warning(209, "x");
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_code, 204);
    install_report_routines(nullptr, nullptr);
}

}  // namespace
