#include "runtime/core/errors.h"

#include <atomic>
#include <cstddef>

namespace {

struct ErrorText {
    int32_t code;
    const char* text;
};

// The messages in Windows-1252, byte for byte, misspellings included.
const ErrorText kErrorTable[] = {
    {101, "Unbekanntes Create-Objekt: "},
    {124, "STARTPAINT fehlt!"},
    {200, "Ung\xFC" "ltiger Funktionswert!"},
    {202, "Falscher Typ f\xFC" "r @DTOC$ !"},
    {203, "Falscher Typ f\xFC" "r @CTOD$ !"},
    {204, "String-Index ist < 1 !"},
    {205, "Substring-Nr ist < 1 !"},
    {206, "So viele Elemente sind nicht da!"},
    {207, "Bereichsgrenze \xFC" "berschritten: "},
    {208, "Kommandozeilenparameter fehlt!"},
    {209, "Datei nicht gefunden: "},
    {210, "Dateinummer nicht im erlaubten Bereich!"},
    {212, "Zu wenig Parameter!"},
    {221, "W\xE4" "hrend der Druckausgabe verboten: "},
    {222, "Box nicht innerhalb des Fensters!"},
    {223, "Negative Fenstergr\xF6\xDF" "e!"},
    {224, "ICON nicht vorhanden: "},
    {225, "ICON nicht vorhanden! (Nur 0..4)"},
    {228, "Bitmap nicht ladbar: "},
    {229, "Bitmap konnte nicht gespeichert werden: "},
    {230, "Cursor nicht vorhanden! (Nur 0..11)"},
    {235, "Drucken ist nicht m\xF6" "glich!"},
    {237, "Der Befehl setzt ein Fenster vorraus!"},
    {240, "Zu wenig Speicher f\xFC" "r Bereichs-Variable!"},
    {244, "Der Text pa\xDF" "t nicht komplett in die Bereichsvariable!"},
    {247, "Fehler beim Laden der DLL: "},
    {248, "Funktion in DLL nicht vohanden: "},
    {250, "SETTIMER fehlt!"},
    {252, "Men\xFC" " ist nicht ladbar: "},
    {262, "Unbekannter Schalter: "},
    {263, "Unbekannte Subfunktion: "},
    {269, "Kein freier CALLBACK mit der gew\xFC" "nschten Parameterzahl!"},
    {272, "Operation nicht auf Objekte anwendbar: "},
    {275, "Zuweisung auf dieses Objekt nicht m\xF6" "glich: "},
    {276, "Struktur bzw. Bereich zu klein: "},
    {280, "Funktion nicht auf dieses Fensterobjekt anwendbar!"},
    {282, "Das Array pa\xDF" "t nicht komplett in die Liste!"},
    {284, "Fehler im Regul\xE4" "ren Ausdruck: "},
    {300, "Datei kann nicht gelesen werden: "},
    {301, "Datei kann nicht erzeugt werden: "},
    {303, "Fehler beim Schreiben: "},
    {305, "REGISTRY: "},
    {400, "OpenGL ist nicht initialisiert!"},
    {401, "Devicekontext f\xFC" "r OpenGL konnte nicht erstellt werden!"},
    {402, "Kein passendes Pixelformat f\xFC" "r OpenGL gefunden!"},
    {403, "OpenGL-Pixelformat kann nicht gesetzt werden!"},
    {404, "OpenGL-Renderkontext kann nicht erzeugt werden!"},
    {405, "OpenGL-Renderkontext kann nicht aktiviert werden!"},
    {406, "Ung\xFC" "ltige Textur-Datei: "},
    {407, "Fehler in QUBE-Datei:"},
    {408, "QUBE-Daten nicht gefunden."},
    {409, "Zu viele QUBE-Dateien geladen!"},
    {410, "Ung\xFC" "ltiger QUBE-Typ: "},
    {411, "Ung\xFC" "ltger Objekttyp: "},
    {412, "Ung\xFC" "ltige QUBE-Nummer!"},
    {500, "ODBC ist nicht initialisiert!"},
    {503, "ODBC-Fehler"},
    {504, " S\xE4" "tze bearbeitet!"},
    {505, "Operation erfolgreich!"},
    {506, "Ergebnisdatei kann nicht ge\xF6" "ffnet werden!"},
    {600, "dB-Fehler: "},
    {601, "Datei nicht gefunden: "},
    {602, "Doppelter Feldname: "},
    {603, "Ung\xFC" "ltige Feldl\xE4" "nge: "},
    {604, "Ung\xFC" "ltige Dezimalstellen: "},
    {608, "Schl\xFC" "sselfeld nicht in Ordnung: "},
    {609, "Tabellennummer nicht im erlaubten Bereich!"},
    {611, "Formel nicht in Ordnung: "},
    {612, "Feld beim Lesen nicht gefunden: "},
    {613, "Feldnummer beim Lesen nicht gefunden: "},
    {614, "Feld zum Schreiben nicht gefunden: "},
    {615, "Feldnummer zum Schreiben nicht gefunden: "},
    {616, "Index-Dateiname fehlerhaft: "},
    {617, "Ung\xFC" "ltige Eingabe: "},
};

std::atomic<ReportRoutine> g_error_routine{nullptr};
std::atomic<ReportRoutine> g_warning_routine{nullptr};

}  // namespace

const char* error_text(int32_t code) {
    for (const ErrorText& row : kErrorTable) {
        if (row.code == code) {
            return row.text;
        }
    }
    return "";
}

RtString error_message(int32_t code) {
    return RtString(error_text(code));
}

RtString compose_message(int32_t code, const char* argument) {
    RtString message = error_message(code);
    message.append_cstring(argument);
    return message;
}

void install_report_routines(ReportRoutine error, ReportRoutine warning) {
    g_error_routine = error;
    g_warning_routine = warning;
}

void report_error(int32_t code, const char* argument) {
    if (ReportRoutine routine = g_error_routine.load()) {
        routine(code, argument);
    }
}

void report_warning(int32_t code, const char* argument) {
    if (ReportRoutine routine = g_warning_routine.load()) {
        routine(code, argument);
    }
}
