// The file search over real trees in the test Wine prefix (links back up the tree, a folder that
// cannot be entered, paths beyond the platform's limit, the root of a drive), and copying the
// list into real controls.
#include "runtime/system/file_list.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/settings/switch_vars.h"
#include "tests/system/host_files.h"
#include "tests/system/report_capture.h"

namespace {

std::vector<std::string> entries() {
    std::vector<std::string> list;
    for (const RtString& e : file_list) {
        list.emplace_back(e.c_str());
    }
    return list;
}

std::vector<std::string> sorted(std::vector<std::string> list) {
    std::sort(list.begin(), list.end());
    return list;
}

std::string current_folder() {
    char buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, buffer);
    return buffer;
}

std::string folder_of(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

// The entries of one search: each folder's files come together, before the files of any folder
// below it, and everything below a folder comes before the next folder that is not below it.
void expect_depth_first(const std::vector<std::string>& list, const std::string& start) {
    std::vector<std::string> folders;  // in the order their files first appear
    for (const std::string& entry : list) {
        std::string folder = folder_of(entry);
        if (folders.empty() || folders.back() != folder) {
            EXPECT_EQ(std::count(folders.begin(), folders.end(), folder), 0) << "files of " << folder << " split";
            folders.push_back(folder);
        }
    }
    for (size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(folders[i].rfind(start, 0), 0u) << folders[i];
        for (size_t j = i + 1; j < folders.size(); ++j) {
            bool below_i = folders[j].rfind(folders[i] + "\\", 0) == 0;
            // Once a folder outside i's subtree appears, no later folder may be inside it.
            if (!below_i) {
                for (size_t k = j + 1; k < folders.size(); ++k) {
                    EXPECT_NE(folders[k].rfind(folders[i] + "\\", 0), 0u)
                        << folders[k] << " comes after leaving " << folders[i];
                }
                break;
            }
        }
        EXPECT_EQ(folders[i].find("\\\\"), std::string::npos) << folders[i];
    }
}

class FileSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host_files::available()) << "these tests make links through Wine's Unix bridge";
        root_ = fresh_test_folder("search");
        file_list.clear();
        last_index = -1;
    }
    void TearDown() override {
        SetCurrentDirectoryA("C:\\");
        host_files::remove_tree(root_);
        clear_list();
    }
    std::string at(const std::string& relative) const { return root_ + "\\" + relative; }
    void files(const std::vector<std::string>& relative) {
        for (const std::string& r : relative) {
            make_folders(folder_of(at(r)));
            make_file(at(r), "x");
        }
    }
    std::vector<std::string> search_from(const std::string& folder, const char* pattern, int32_t all) {
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
        add_files(RtString(pattern), all);
        EXPECT_STRCASEEQ(current_folder().c_str(), folder.c_str()) << "the current folder is restored";
        return entries();
    }

    std::string root_;
    ReportCapture reports_;
};

TEST_F(FileSearch, AllSubfoldersGivesFullPathsWithSingleBackslashes) {
    files({"X\\a.jpg", "X\\sub\\b.jpg", "X\\note.txt", "X\\sub\\c.JPEG", "X\\sub\\deeper\\d.jpg"});
    std::vector<std::string> list = search_from(at("X"), "*.JP*", 1);
    EXPECT_EQ(sorted(list),
              sorted({at("X\\a.jpg"), at("X\\sub\\b.jpg"), at("X\\sub\\c.JPEG"), at("X\\sub\\deeper\\d.jpg")}));
    EXPECT_EQ(list[0], at("X\\a.jpg")) << "the start folder comes first";
    EXPECT_EQ(list[3], at("X\\sub\\deeper\\d.jpg"));
    EXPECT_EQ(last_index, 3);
    EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(FileSearch, FoldersComeDepthFirstInPreOrder) {
    files({"T\\0.png", "T\\a\\1.png", "T\\a\\aa\\2.png", "T\\a\\ab\\3.png", "T\\a\\ab\\aba\\4.png", "T\\b\\5.png",
           "T\\b\\ba\\6.png", "T\\c\\7.png", "T\\c\\8.png", "T\\a\\9.png"});
    std::vector<std::string> list = search_from(at("T"), "*.png", 1);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0], at("T\\0.png"));
    expect_depth_first(list, at("T"));
}

TEST_F(FileSearch, RootOfADriveGivesNoDoubleBackslash) {
    files({"drive\\a.jpg", "drive\\sub\\b.jpg"});
    char letter = 0;
    for (char c : std::string("RSTUVWQP")) {
        if (host_files::map_drive(c, at("drive"))) {
            letter = c;
            break;
        }
    }
    ASSERT_NE(letter, 0) << "no free drive letter";
    std::string drive = std::string(1, letter) + ":\\";
    std::vector<std::string> list = search_from(drive, "*.jpg", 1);
    host_files::unmap_drive(letter);
    EXPECT_EQ(list, (std::vector<std::string>{drive + "a.jpg", drive + "sub\\b.jpg"}));
}

TEST_F(FileSearch, WithoutSubfoldersNamesAndBracketedFolders) {
    files({"Y\\a.jpg", "Y\\b.gif", "Y\\sub\\c.jpg"});
    make_folders(at("Y\\other"));
    std::vector<std::string> list = search_from(at("Y"), "*.*", 0);
    EXPECT_EQ(sorted(list), sorted({"[.]", "[..]", "[sub]", "[other]", "a.jpg", "b.gif"}));
    clear_list();
    EXPECT_EQ(search_from(at("Y"), "*.jpg", 0), (std::vector<std::string>{"a.jpg"}));
}

TEST_F(FileSearch, LaterCallsAppendAndHiddenFilesCount) {
    files({"Z\\1.jpg", "Z\\2.gif", "Z\\s\\3.png", "Z\\s\\4.gif"});
    SetFileAttributesA(at("Z\\s\\4.gif").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    add_string(RtString("before"));
    SetCurrentDirectoryA(at("Z").c_str());
    add_files(RtString("*.JP*"), 1);
    add_files(RtString("*.GIF"), 1);
    add_files(RtString("*.PNG"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"before", at("Z\\1.jpg"), at("Z\\2.gif"), at("Z\\s\\4.gif"),
                                                   at("Z\\s\\3.png")}));
    EXPECT_EQ(last_index, 4);
}

// A pattern with a folder part searches that folder, relative to the current one, and the walk
// starts there: the entries are the files' own paths. Without a folder part, or with the current
// folder's, it is the plain search.
TEST_F(FileSearch, PatternWithAFolderPartStartsTheWalkThere) {
    files({"W\\a.jpg", "W\\s\\b.jpg", "W\\s\\t\\c.jpg", "V\\v.jpg"});
    const std::vector<std::string> all = {at("W\\a.jpg"), at("W\\s\\b.jpg"), at("W\\s\\t\\c.jpg")};
    const std::vector<std::string> below_s = {at("W\\s\\b.jpg"), at("W\\s\\t\\c.jpg")};
    const struct {
        std::string current;
        std::string pattern;
        std::vector<std::string> listed;
    } rows[] = {
        {"W", "*.jpg", all},
        {"W", ".\\*.jpg", all},
        {"W", at("W").substr(0, 2) + "*.jpg", all},  // the drive's current folder
        {"W", "s\\*.jpg", below_s},
        {"W", at("W\\s\\*.jpg").substr(2), below_s},  // from the drive's root
        {"V", "..\\W\\s\\*.jpg", below_s},
        {"V", at("W\\s\\t") + "\\*.jpg", {at("W\\s\\t\\c.jpg")}},
        {"V", "..\\nowhere\\*.jpg", {}},
    };
    for (const auto& row : rows) {
        clear_list();
        EXPECT_EQ(search_from(at(row.current), row.pattern.c_str(), 1), row.listed) << row.pattern;
    }
}

TEST_F(FileSearch, NoMatchAddsNothing) {
    files({"E\\a.txt"});
    EXPECT_TRUE(search_from(at("E"), "*.jpg", 1).empty());
    EXPECT_EQ(last_index, -1) << "nothing was ever added";
    EXPECT_TRUE(search_from(at("E"), "*.jpg", 0).empty());
    EXPECT_EQ(last_index, -1);
    EXPECT_TRUE(reports_.reports().empty());
}

// A folder reached twice (a link to the parent, to itself, to a sibling) is searched once; the
// search ends. A link out of the tree is followed.
TEST_F(FileSearch, LinkLoopsAreSearchedOnceAndEnd) {
    files({"L\\top.jpg", "L\\a\\a.jpg", "L\\a\\b\\b.jpg", "L\\c\\c.jpg", "Other\\out.jpg"});
    ASSERT_TRUE(host_files::make_link("../../Other", at("L\\c\\outside")));
    ASSERT_TRUE(host_files::make_link("..", at("L\\a\\b\\up")));
    ASSERT_TRUE(host_files::make_link(".", at("L\\a\\self")));
    ASSERT_TRUE(host_files::make_link("../a", at("L\\c\\to_a")));
    ASSERT_TRUE(host_files::make_link(host_files::unix_path(at("L")), at("L\\c\\to_top")));
    ASSERT_NE(GetFileAttributesA(at("L\\a\\b\\up\\b\\b.jpg").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the link leads back up";

    std::vector<std::string> list = search_from(at("L"), "*.jpg", 1);
    std::map<std::string, int> by_name;
    for (const std::string& entry : list) {
        ++by_name[entry.substr(entry.rfind('\\') + 1)];
    }
    EXPECT_EQ(by_name,
              (std::map<std::string, int>{{"top.jpg", 1}, {"a.jpg", 1}, {"b.jpg", 1}, {"c.jpg", 1}, {"out.jpg", 1}}))
        << ::testing::PrintToString(list);
    EXPECT_EQ(list[0], at("L\\top.jpg"));
    EXPECT_NE(std::find(list.begin(), list.end(), at("L\\c\\outside\\out.jpg")), list.end());
}

// A folder that cannot be made current (here opened exclusively) is left out with everything
// below it; its files are not listed under another folder's path.
TEST_F(FileSearch, FolderThatCannotBeEnteredIsLeftOut) {
    files({"U\\u.jpg", "U\\locked\\secret.jpg", "U\\locked\\below\\deep.jpg", "U\\open\\o.jpg"});
    HANDLE lock = CreateFileA(at("U\\locked").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ASSERT_FALSE(SetCurrentDirectoryA(at("U\\locked").c_str())) << "the lock does not keep the folder out";
    std::vector<std::string> list = search_from(at("U"), "*.jpg", 1);
    CloseHandle(lock);
    EXPECT_EQ(sorted(list), sorted({at("U\\u.jpg"), at("U\\open\\o.jpg")}));
    EXPECT_TRUE(reports_.reports().empty()) << "left out silently";
}

// Folders up to MAX_PATH - 2 characters are searched; longer ones, and everything below them,
// are left out.
TEST_F(FileSearch, FoldersBeyondThePathLimitAreLeftOut) {
    files({"P\\p.jpg"});
    std::vector<std::string> expected = {at("P\\p.jpg")};
    std::string relative = "P";
    while (at(relative).size() + 41 < MAX_PATH - 2) {
        relative += "\\" + std::string(40, 'd');
        ASSERT_TRUE(host_files::make_long_folders(root_, relative));
        make_file(at(relative) + "\\f.jpg");
        expected.push_back(at(relative) + "\\f.jpg");
    }
    // A folder of exactly the longest length, and a sibling one character longer with a folder below.
    std::string longest = relative + "\\" + std::string(MAX_PATH - 3 - at(relative).size(), 'x');
    std::string too_long = longest + "y";
    ASSERT_EQ(at(longest).size(), static_cast<size_t>(MAX_PATH - 2));
    for (const std::string& folder : {longest, too_long, too_long + "\\z"}) {
        ASSERT_TRUE(host_files::make_long_folders(root_, folder));
        ASSERT_TRUE(host_files::make_long_file(root_, folder + "\\f.jpg"));
    }
    expected.push_back(at(longest) + "\\f.jpg");

    std::vector<std::string> list = search_from(at("P"), "*.jpg", 1);
    EXPECT_EQ(list, expected);
    clear_list();
    EXPECT_EQ(search_from(at("P"), ".\\*.jpg", 1), expected) << "with each folder made current";
    // Started in the longest folder itself, whose path the search holds with a trailing backslash.
    clear_list();
    EXPECT_EQ(search_from(at(longest), "*.jpg", 1), std::vector<std::string>{at(longest) + "\\f.jpg"});
}

std::wstring wide(const std::string& text) {
    std::wstring result(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0],
                                static_cast<int>(result.size()));
    result.resize(static_cast<size_t>(n));
    return result;
}

// The long path of the file an entry names; "" when it names none.
std::wstring file_named_by(const std::string& entry) {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetLongPathNameW(wide(entry).c_str(), path, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? path : L"";
}

TEST(ListedName, ExactNamesStayShortNamesStandInAndNoLookAlikes) {
    ASSERT_EQ(GetACP(), 1252u);
    const struct {
        const wchar_t* name;
        const wchar_t* short_name;
        const char* listed;
    } rows[] = {
        {L"plain.jpg", L"", "plain.jpg"},
        {L"Stra\xDF"
         L"e \x20AC.jpg",
         L"STRAE_~1.JPG",
         "Stra\xDF"
         "e \x80.jpg"},
        {L"\xFF41.jpg", L"_~~~~4HK.JPG", "_~~~~4HK.JPG"},
        {L"k\xFF1Cl\xFF1Em\xFF1F.jpg", L"K_L_~J5J.JPG", "K_L_~J5J.JPG"},
        // Without a short name: a fullwidth "a" must not become the "a" of another file's name.
        {L"\xFF41.jpg", L"", "?.jpg"},
        {L"\x0416\x0443\x043A.jpg", nullptr, "???.jpg"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(listed_name(row.name, row.short_name).c_str(), row.listed) << row.listed;
    }
}

// Names the code page lacks (fullwidth look-alikes of "a", "<", ">", "?", Cyrillic), on files and on
// a folder: every entry names the very file it was found as.
TEST_F(FileSearch, NamesOutsideTheCodePageAreListedByTheirShortNames) {
    files({"N\\a.jpg",
           "N\\Gr\xFC\xDF"
           "e\\g.jpg"});
    const std::wstring created[] = {L"\xFF41.jpg", L"\x0416\x0443\x043A.jpg", L"k\xFF1Cl\xFF1Em\xFF1F.jpg",
                                    L"\xFF26oto\\f.jpg"};
    std::set<std::wstring> expected = {wide(at("N\\a.jpg")), wide(at("N\\Gr\xFC\xDF"
                                                                     "e\\g.jpg"))};
    ASSERT_TRUE(CreateDirectoryW(wide(at("N\\")).append(L"\xFF26oto").c_str(), nullptr));
    for (const std::wstring& name : created) {
        std::wstring path = wide(at("N\\")) + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        expected.insert(path);
    }
    std::vector<std::string> list = search_from(at("N"), "*.jpg", 1);
    std::set<std::wstring> named;
    for (const std::string& entry : list) {
        named.insert(file_named_by(entry));
    }
    EXPECT_EQ(list.size(), expected.size()) << ::testing::PrintToString(list);
    EXPECT_TRUE(named == expected) << ::testing::PrintToString(list);
    EXPECT_NE(std::find(list.begin(), list.end(),
                        at("N\\Gr\xFC\xDF"
                           "e\\g.jpg")),
              list.end())
        << "an exact name is kept";
}

// Controls made on this thread; the list-box and combo-box way through the main thread is
// tested with a whole program (system_process_test).
class ListControls : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        file_list.clear();
        last_index = -1;
        g_switches.listdel.assign_cstring("|");
    }
    void TearDown() override {
        for (HWND w : windows_) {
            DestroyWindow(w);
        }
        clear_list();
    }
    HWND make(const char* class_name, DWORD style = 0) {
        HWND w = CreateWindowExA(0, class_name, "", WS_POPUP | style, 0, 0, 300, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(w);
        return w;
    }
    static std::string item_text(HWND list_view, int row, int column) {
        char buffer[256] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list_view, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    static std::string text_of(HWND w) {
        char buffer[4096] = {};
        GetWindowTextA(w, buffer, sizeof buffer);
        return buffer;
    }

    std::vector<HWND> windows_;
    ReportCapture reports_;
};

TEST_F(ListControls, FillListControlSendsEveryEntryInOrder) {
    HWND box = make("LISTBOX");
    ASSERT_NE(box, nullptr);
    SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("kept"));
    for (const char* e : {"c", "a", "b"}) {
        add_string(RtString(e));
    }
    fill_list_control(box, LB_ADDSTRING);
    ASSERT_EQ(SendMessageA(box, LB_GETCOUNT, 0, 0), 4) << "the control is not emptied first";
    const char* expected[] = {"kept", "c", "a", "b"};
    for (int i = 0; i < 4; ++i) {
        char buffer[64] = {};
        SendMessageA(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        EXPECT_STREQ(buffer, expected[i]);
    }
}

TEST_F(ListControls, EditControlGetsTheLinesWithoutAFinalBreak) {
    HWND edit = make("EDIT", ES_MULTILINE);
    for (const char* e : {"one", "two", "three"}) {
        add_string(RtString(e));
    }
    EXPECT_EQ(copy_list_to_control(edit), 3);
    EXPECT_EQ(text_of(edit), "one\r\ntwo\r\nthree");
}

TEST_F(ListControls, EmptyListLeavesTheControlUntouched) {
    HWND edit = make("EDIT", ES_MULTILINE);
    SetWindowTextA(edit, "before");
    HWND button = make("BUTTON");
    EXPECT_EQ(copy_list_to_control(edit), 0);
    EXPECT_EQ(copy_list_to_control(button), 0);
    EXPECT_EQ(text_of(edit), "before");
    EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(ListControls, OtherClassesAreError280) {
    HWND button = make("BUTTON");
    add_string(RtString("x"));
    EXPECT_EQ(copy_list_to_control(button), 0);
    ASSERT_EQ(reports_.reports().size(), 1u);
    EXPECT_TRUE(reports_.reports()[0].is_error);
    EXPECT_EQ(reports_.reports()[0].code, 280);
}

struct RowCase {
    const char* separator;
    const char* entry;
    std::vector<std::string> columns;
};

TEST_F(ListControls, ListViewRowsSplitAtTheSeparator) {
    const RowCase cases[] = {
        {"|", "a|b|c", {"a", "b", "c"}},
        {"|", "plain", {"plain", ""}},
        {"; ", "x; y", {"x", "y"}},
        {"", "a|b", {"a|b", ""}},  // an empty separator: the whole entry in the first column
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " at '" + c.separator + "'");
        HWND view = make(WC_LISTVIEWA, LVS_REPORT);
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 50;
        for (int i = 0; i < 3; ++i) {
            SendMessageA(view, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
        }
        g_switches.listdel.assign_cstring(c.separator);
        clear_list();
        add_string(RtString(c.entry));
        add_string(RtString(c.entry));
        EXPECT_EQ(copy_list_to_control(view), 2);
        ASSERT_EQ(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0), 2);
        for (int row = 0; row < 2; ++row) {
            for (size_t i = 0; i < c.columns.size(); ++i) {
                EXPECT_EQ(item_text(view, row, static_cast<int>(i)), c.columns[i]) << "row " << row << " column " << i;
            }
        }
        EXPECT_STREQ(file_list[0].c_str(), c.entry) << "the entry itself stays unchanged";
    }
}

TEST_F(ListControls, AddListViewRowAtAPositionReturnsItsIndex) {
    HWND view = make(WC_LISTVIEWA, LVS_REPORT);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 50;
    SendMessageA(view, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageA(view, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(add_list_view_row(view, -1, RtString("first|1")), 0);
    EXPECT_EQ(add_list_view_row(view, -1, RtString("second|2")), 1);
    EXPECT_EQ(add_list_view_row(view, 0, RtString("front|0")), 0);
    EXPECT_EQ(item_text(view, 0, 0), "front");
    EXPECT_EQ(item_text(view, 0, 1), "0");
    EXPECT_EQ(item_text(view, 1, 0), "first");
    EXPECT_EQ(item_text(view, 2, 1), "2");
}

}  // namespace
