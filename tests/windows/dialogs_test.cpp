// The runtime's dialogs answered from outside the process, the rich edit streams, and the
// resources that every program of the runtime carries.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/windows/dialog_requests.h"
#include "runtime/windows/edit_streams.h"
#include "tests/support/process_runner.h"
#include "tests/support/window_helpers.h"

namespace {

std::string class_of(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void set_text(HWND control, const char* text) {
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Clicks a button of the dialog and waits until the dialog is gone.
void answer(HWND dialog, int button) {
    EXPECT_TRUE(click_button(dialog, button));
    EXPECT_TRUE(wait_until_gone(dialog));
}

TEST(Dialogs, InputDialogGivesTheTypedAnswerWithFlag1AndCancelGivesEmptyWithFlag2) {
    RunningProgram program("dialogs_body.exe", scenario_options("input"));
    HWND dialog = wait_for_window("Frage");
    ASSERT_NE(dialog, nullptr) << program.output();
    EXPECT_EQ(window_text(GetDlgItem(dialog, 100)),
              "Wie hei\xDF"
              "en Sie?");
    EXPECT_EQ(window_text(GetDlgItem(dialog, 101)), "Gast");
    LRESULT default_button = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(default_button), DC_HASDEFID);
    EXPECT_EQ(LOWORD(default_button), IDOK);
    set_text(GetDlgItem(dialog, 101), "Marlo M\xFCller");
    answer(dialog, IDOK);

    dialog = wait_for_window("Frage");
    ASSERT_NE(dialog, nullptr) << program.output();
    answer(dialog, IDCANCEL);
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "answer1"), "[Marlo M\xFCller]");
    EXPECT_EQ(output_value(r.output, "flag1"), "1");
    EXPECT_EQ(output_value(r.output, "answer2"), "[]");
    EXPECT_EQ(output_value(r.output, "flag2"), "2");
}

TEST(Dialogs, EditDialogsShowTheTextAndReturnTheEditedOneOnlyAfterOk) {
    struct Row {
        const char* caption;
        const char* control_class;
        int button;
        const char* expected_text;
        const char* expected_result;
    };
    const Row rows[] = {
        {"Text bearbeiten", "Edit", IDOK, "[drei]", "1"},
        {"Formatierten Text bearbeiten", "RichEdit20A", IDCANCEL, "[eins\\r\\nzwei]", "0"},
    };
    RunningProgram program("dialogs_body.exe", scenario_options("edit"));
    for (const Row& row : rows) {
        HWND dialog = wait_for_window(row.caption);
        ASSERT_NE(dialog, nullptr) << row.caption << program.output();
        HWND edit = GetDlgItem(dialog, 101);
        EXPECT_EQ(class_of(edit), row.control_class);
        EXPECT_EQ(window_text(edit).substr(0, 4), "eins") << row.caption;
        set_text(edit, "drei");
        answer(dialog, row.button);
    }
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    for (int variant = 1; variant <= 2; ++variant) {
        const Row& row = rows[variant - 1];
        EXPECT_EQ(output_value(r.output, "text" + std::to_string(variant)), row.expected_text);
        EXPECT_EQ(output_value(r.output, "result" + std::to_string(variant)), row.expected_result);
    }
}

// Each variant opens its template (told by the caption), lists the hidden file list ("gamma",
// "alpha", "beta") and answers with what was chosen: entry 1, entries 0 and 1 of a multiple
// selection, or a typed text. Variants 0 and 9 use "LISTBOX7".
TEST(Dialogs, ListDialogsOpenTheirTemplateAndAnswerTheChoice) {
    enum Kind { kList, kMulti, kDropList, kTyped, kCancel };
    struct Row {
        const char* caption;
        Kind kind;
        const char* expected;
    };
    const Row rows[] = {
        {"Dateiliste", kList, "alpha"},                        // 0
        {"Auswahl", kList, "alpha"},                           // 1
        {"Auswahl (sortiert)", kList, "beta"},                 // 2
        {"Mehrfachauswahl", kMulti, "gamma|alpha"},            // 3
        {"Auswahl aus der Liste", kDropList, "alpha"},         // 4
        {"Eingabe oder Auswahl", kTyped, "delta"},             // 5
        {"Auswahl in Spalten", kList, "alpha"},                // 6
        {"Dateiliste", kList, "alpha"},                        // 7
        {"Mehrfachauswahl (sortiert)", kMulti, "alpha|beta"},  // 8
        {"Dateiliste", kCancel, ""},                           // 9
    };
    RunningProgram program("dialogs_body.exe", scenario_options("lists"));
    for (int variant = 0; variant <= 9; ++variant) {
        const Row& row = rows[variant];
        HWND dialog = wait_for_process_window(program.process_id(), "#32770");
        ASSERT_NE(dialog, nullptr) << variant << program.output();
        EXPECT_EQ(window_text(dialog), row.caption) << variant;
        HWND list = GetDlgItem(dialog, 102);
        HWND combo = GetDlgItem(dialog, 103);
        bool is_combo = row.kind == kDropList || row.kind == kTyped;
        ASSERT_NE(is_combo ? combo : list, nullptr) << variant;
        EXPECT_EQ(SendMessageA(is_combo ? combo : list, is_combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0), 3) << variant;
        if (row.kind == kMulti) {
            SendMessageA(list, LB_SETSEL, TRUE, 0);
            SendMessageA(list, LB_SETSEL, TRUE, 1);
        } else if (row.kind == kDropList) {
            SendMessageA(combo, CB_SETCURSEL, 1, 0);
        } else if (row.kind == kTyped) {
            set_text(combo, "delta");
        } else {
            SendMessageA(list, LB_SETCURSEL, 1, 0);
        }
        answer(dialog, row.kind == kCancel ? IDCANCEL : IDOK);
    }
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    for (int variant = 0; variant <= 9; ++variant) {
        std::string n = std::to_string(variant);
        EXPECT_EQ(output_value(r.output, "answer" + n), "[" + std::string(rows[variant].expected) + "]") << n;
        EXPECT_EQ(output_value(r.output, "flag" + n), rows[variant].kind == kCancel ? "2" : "1") << n;
    }
}

// Regression: the quadratic join of the chosen entries kept the main thread busy for minutes.
TEST(Dialogs, AListDialogWith50000ChosenEntriesAnswersThemAll) {
    RunningProgram program("dialogs_body.exe", scenario_options("big_list"));
    HWND dialog = wait_for_window("Mehrfachauswahl", 60000);
    ASSERT_NE(dialog, nullptr) << program.output();
    SendMessageA(GetDlgItem(dialog, 102), LB_SELITEMRANGEEX, 0, 49999);
    answer(dialog, IDOK);
    ProcessResult r = program.finish(20000);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(output_value(r.output, "joined"), std::to_string(50000 * 24 - 1) + ",1");
}

TEST(Dialogs, ModelessTemplateDialogsOpenFromAProgramBody) {
    ProcessResult r = run_program("dialogs_body.exe", scenario_options("modeless"));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "frame"), "Dialog,1");
    EXPECT_EQ(output_value(r.output, "by_name"), "Dateiliste,1");
    EXPECT_EQ(output_value(r.output, "in_dll"), "1") << "0xA005 opens a template of the record's module";
    EXPECT_EQ(output_value(r.output, "no_template"), "[Gast],2,[vorher],2") << "a template that failed to open";
    EXPECT_EQ(output_value(r.output, "missing"), "0");
    EXPECT_EQ(output_value(r.output, "own"), "Dialog,1,1") << "0xA014: LDIALOG with the record as init parameter";
}

// Regression: in save mode with an empty or short filter, a long extension got a filter buffer with
// a single NUL after "*.ext", and the dialog read the filter list on past its end.
TEST(FileDialog, FilterListsEndInADoubleNul) {
    using namespace std::string_literals;
    const std::string long_extension(60, 'x');
    struct Row {
        bool save;
        std::string filter_text, file_name, expected_filter, expected_extension;
    };
    const Row rows[] = {
        {true, "", "bericht." + long_extension, "*." + long_extension, long_extension},
        {true, "a", "b.txt", "*.txt", "txt"},
        {true, "", "ohne", "*.", ""},
        {false, "", "b.txt", "", ""},
        {true, "Bilder|*.jpg|Alle|*.*", "b.txt", "Bilder\0*.jpg\0Alle\0*.*"s, ""},
    };
    for (const Row& row : rows) {
        std::vector<char> filter;
        std::vector<char> extension;
        build_file_filter(row.save, row.filter_text.c_str(), row.file_name.c_str(), filter, extension);
        const std::string& expected = row.expected_filter;
        ASSERT_GE(filter.size(), expected.size() + 2) << row.file_name;
        EXPECT_EQ(std::string(filter.data(), expected.size()), expected) << row.file_name;
        EXPECT_EQ(filter[expected.size()], 0) << row.file_name;
        EXPECT_EQ(filter[expected.size() + 1], 0) << row.file_name;
        EXPECT_STREQ(extension.data(), row.expected_extension.c_str()) << row.file_name;
    }
}

TEST(FileDialog, SaveModeWithALongExtensionOffersItAsTheOnlyFilter) {
    RunningProgram program("dialogs_body.exe", scenario_options("save_dialog"));
    HWND dialog = wait_for_window("Bericht speichern");
    ASSERT_NE(dialog, nullptr) << program.output();
    HWND types = GetDlgItem(dialog, 0x470);  // cmb1: the file types
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(SendMessageA(types, CB_GETCOUNT, 0, 0), 1);
    wchar_t item[128] = {};  // the dialog's controls are Unicode windows
    SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"*." + std::wstring(60, L'x'));
    answer(dialog, IDCANCEL);
    ProcessResult r = program.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "file"), "[]");
}

class EditStreams : public ::testing::Test {
  protected:
    void SetUp() override {
        install_edit_streams();
        rich_ = CreateWindowExA(0, "RichEdit20A", "", WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(rich_, nullptr);
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        path_ = std::string(folder) + "rt_edit_stream.tmp";
    }
    void TearDown() override {
        DestroyWindow(rich_);
        DeleteFileA(path_.c_str());
    }
    std::string text() const {
        char buffer[512] = {};
        GetWindowTextA(rich_, buffer, sizeof buffer);
        return buffer;
    }
    void write_file(const std::string& bytes) const {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    HWND rich_ = nullptr;
    std::string path_;
};

TEST_F(EditStreams, SaveThenLoadRoundTripsTextAndRtfAndClearsTheModifiedFlag) {
    const std::string original = "Erste Zeile \xE4\xF6\xFC\xDF\r\nZweite Zeile";
    SetWindowTextA(rich_, original.c_str());
    SendMessageA(rich_, EM_SETMODIFY, TRUE, 0);
    EXPECT_EQ(edit_save_text(rich_, path_.c_str()), 0u);
    EXPECT_EQ(SendMessageA(rich_, EM_GETMODIFY, 0, 0), 0);
    EXPECT_EQ(read_file_bytes(path_), original);
    SetWindowTextA(rich_, "");
    EXPECT_EQ(edit_load_text(rich_, path_.c_str()), 0u);
    EXPECT_EQ(text(), original);

    EXPECT_EQ(edit_save_rtf(rich_, path_.c_str()), 0u);
    EXPECT_EQ(read_file_bytes(path_).substr(0, 6), "{\\rtf1");
    SetWindowTextA(rich_, "");
    SendMessageA(rich_, EM_SETMODIFY, TRUE, 0);
    EXPECT_EQ(edit_load_rtf(rich_, path_.c_str()), 0u);
    EXPECT_EQ(text(), original);
    EXPECT_EQ(SendMessageA(rich_, EM_GETMODIFY, 0, 0), 0);
}

TEST_F(EditStreams, LoadingRtfInterpretsTheFormatting) {
    write_file("{\\rtf1\\ansi {\\b fett} normal}");
    EXPECT_EQ(edit_load_rtf(rich_, path_.c_str()), 0u);
    EXPECT_EQ(text(), "fett normal");
    CHARRANGE first = {0, 1};
    SendMessageA(rich_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(rich_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_NE(format.dwEffects & CFE_BOLD, 0u);
}

// The rich edit control reports a stream that failed halfway (a full disk) as it does when the
// callback fails: the error in dwError, after some bytes were written.
LRESULT CALLBACK full_disk_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != EM_STREAMOUT) {
        return CallWindowProcA(original, window, message, wparam, lparam);
    }
    auto* stream = reinterpret_cast<EDITSTREAM*>(lparam);
    BYTE part[] = "teil";
    LONG done = 0;
    stream->pfnCallback(stream->dwCookie, part, 4, &done);
    stream->dwError = ERROR_DISK_FULL;
    return done;
}

// Regression: the save truncated the user's file before streaming, so a failed stream lost it.
TEST_F(EditStreams, AStreamThatFailsHalfwayLeavesTheFileAsItWas) {
    write_file("unangetastet");
    SetWindowLongPtrA(rich_, GWLP_USERDATA, GetWindowLongPtrA(rich_, GWLP_WNDPROC));
    SetWindowLongPtrA(rich_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(full_disk_proc));
    EXPECT_EQ(edit_save_text(rich_, path_.c_str()), static_cast<uint32_t>(ERROR_DISK_FULL));
    EXPECT_EQ(read_file_bytes(path_), "unangetastet");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
    int files = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        ++files;
    }
    FindClose(search);
    EXPECT_EQ(files, 1) << "nothing may be left beside the file";
}

TEST_F(EditStreams, ErrorsAre87ForOtherWindowsElseTheSystemCode) {
    HWND plain = CreateWindowExA(0, "EDIT", "x", WS_POPUP | ES_MULTILINE, 0, 0, 100, 50, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(plain, nullptr);
    write_file("unangetastet");
    for (HWND window : {plain, static_cast<HWND>(nullptr)}) {
        EXPECT_EQ(edit_load_text(window, path_.c_str()), 87u);
        EXPECT_EQ(edit_load_rtf(window, path_.c_str()), 87u);
        EXPECT_EQ(edit_save_text(window, path_.c_str()), 87u);
        EXPECT_EQ(edit_save_rtf(window, path_.c_str()), 87u);
    }
    DestroyWindow(plain);
    EXPECT_EQ(edit_load_text(plain, path_.c_str()), 87u) << "a destroyed window";
    EXPECT_EQ(read_file_bytes(path_), "unangetastet") << "a refused save must not touch the file";

    EXPECT_EQ(edit_load_text(rich_, "C:\\no such file.txt"), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(edit_save_rtf(rich_, "C:\\no such folder\\x.rtf"), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

// Every program of the runtime carries the menu, icons, cursors, dialog templates, version
// resource and manifest; gallery.exe with its own version texts.
TEST(Resources, EveryProgramCarriesThemAndTheGalleryBuilderNamesItself) {
    struct Program {
        std::string path;
        const char* description;
    };
    const Program programs[] = {
        {test_folder() + "dialogs_body.exe", "Programm der Brisko-Laufzeit"},
        {test_folder() + "..\\gallery\\gallery.exe", "Zeigt die Bilder eines Ordners als Diaschau im Browser"},
    };
    for (const Program& program : programs) {
        SCOPED_TRACE(program.path);
        HMODULE module = LoadLibraryExA(program.path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);

        HMENU menu = LoadMenuA(module, "LEER");
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(GetMenuItemCount(menu), 1);
        EXPECT_EQ(GetMenuItemID(menu, 0), 0x7FFFu);
        char item[8] = {};
        GetMenuStringA(menu, 0, item, sizeof item, MF_BYPOSITION);
        EXPECT_STREQ(item, "\xA9");
        DestroyMenu(menu);

        // Each group holds several sizes; the 48-pixel image decodes, with the cursor's hot spot.
        struct Group {
            const char* name;
            bool icon;
            int hotspot;  // in a 48-pixel cursor; -1 for icons
        };
        for (const Group& group : {Group{"A", true, -1}, Group{"MARLO", true, -1}, Group{"DRUCKER", false, 1},
                                   Group{"GROESSE", false, 24}, Group{"SCHIEBEN", false, 24}}) {
            SCOPED_TRACE(group.name);
            HRSRC found = FindResourceA(module, group.name, group.icon ? RT_GROUP_ICON : RT_GROUP_CURSOR);
            ASSERT_NE(found, nullptr);
            auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, found)));
            EXPECT_GE(reinterpret_cast<WORD*>(directory)[2], 3) << "sizes in the group";
            int id = LookupIconIdFromDirectoryEx(directory, group.icon, 48, 48, 0);
            HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), group.icon ? RT_ICON : RT_CURSOR);
            ASSERT_NE(image, nullptr);
            HICON handle = CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(module, image))),
                                                    SizeofResource(module, image), group.icon, 0x30000, 48, 48, 0);
            ASSERT_NE(handle, nullptr);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(handle, &info));
            BITMAP bitmap = {};
            GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, 48);
            if (!group.icon) {
                EXPECT_EQ(static_cast<int>(info.xHotspot), group.hotspot);
                EXPECT_EQ(static_cast<int>(info.yHotspot), group.hotspot);
            }
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(handle);
        }

        for (const char* name : {"LDIALOG", "INPUT", "EDITBOX1", "EDITBOX2", "LISTBOX1", "LISTBOX2", "LISTBOX3",
                                 "LISTBOX4", "LISTBOX5", "LISTBOX6", "LISTBOX7", "LISTBOX8"}) {
            EXPECT_NE(FindResourceA(module, name, RT_DIALOG), nullptr) << name;
        }

        HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        ASSERT_NE(manifest, nullptr);
        std::string xml(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                        SizeofResource(module, manifest));
        for (const char* part : {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"",
                                 "<supportedOS Id=", "<dpiAware"}) {
            EXPECT_NE(xml.find(part), std::string::npos) << part;
        }
        FreeLibrary(module);

        DWORD ignored = 0;
        std::string version(GetFileVersionInfoSizeA(program.path.c_str(), &ignored), '\0');
        ASSERT_FALSE(version.empty());
        ASSERT_TRUE(GetFileVersionInfoA(program.path.c_str(), 0, static_cast<DWORD>(version.size()), &version[0]));
        auto value = [&](const char* name) {
            char* text = nullptr;
            UINT length = 0;
            std::string key = std::string("\\StringFileInfo\\040704E4\\") + name;
            return VerQueryValueA(version.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) ? text : "";
        };
        EXPECT_STREQ(value("FileDescription"), program.description);
        EXPECT_STREQ(value("FileVersion"), "1.0.0.0");
        EXPECT_NE(std::string(value("ProductName")), "");
    }
}

}  // namespace
