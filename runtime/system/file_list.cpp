#include "runtime/system/file_list.h"

#include <commctrl.h>

#include <cwchar>
#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/requests.h"
#include "runtime/settings/switch_vars.h"
#include "runtime/system/file_access.h"

namespace {

// The runtime's open-search handle; nothing in this program opens one, clean-up closes it.
HANDLE g_open_search = nullptr;

// The longest folder path that could be made current: MAX_PATH less the backslash that the
// platform appends and the terminator. The search makes no folder current, but it searches the
// folders that it could make current and no others.
constexpr int32_t kMaxFolderPath = MAX_PATH - 2;

// A path that ends in a backslash (the start folder's does) already holds the one the platform
// would append: it is not counted against the limit.
bool folder_path_fits(const std::wstring& folder) {
    size_t length = folder.size();
    if (length > 0 && folder[length - 1] == L'\\') {
        --length;
    }
    return length <= static_cast<size_t>(kMaxFolderPath);
}

// The search runs on the platform's own (wide) names, so that every file and folder is reached by
// its real name; the list gets each name in the code page (listed_name). ASCII is the same in every
// code page and needs no conversion; a conversion that the system refuses (it does only when short
// of memory) is tried once more. False when it failed twice.
bool widen(const RtString& text, std::wstring* wide) {
    const size_t length = static_cast<size_t>(text.length);
    wide->assign(length, L'\0');
    size_t ascii = 0;
    for (; ascii < length && static_cast<unsigned char>(text.data[ascii]) < 0x80; ++ascii) {
        (*wide)[ascii] = static_cast<wchar_t>(text.data[ascii]);
    }
    for (int attempt = 0; ascii < length && attempt < 2; ++attempt) {
        int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), text.length, &(*wide)[0], text.length);
        if (n > 0) {
            wide->resize(static_cast<size_t>(n));
            return true;
        }
    }
    return ascii == length;
}

// A name in the code page with "?" for every character it lacks, made without the system (whose
// conversion failed): a name no file can have.
void mark_unspellable(const wchar_t* name, size_t length, RtString* out) {
    char* bytes = rt_alloc(length + 2);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
    }
    out->adopt(bytes, static_cast<int32_t>(length));
}

// The name in the code page with no best-fit look-alikes; false when that is not the name exactly (a
// character became "?", or the code page gives another name back).
bool to_code_page(const wchar_t* name, size_t length, RtString* out) {
    size_t ascii = 0;
    while (ascii < length && name[ascii] < 0x80) {
        ++ascii;
    }
    if (ascii == length) {
        // The usual name: its bytes straight into the string's one buffer.
        char* bytes = rt_alloc(length + 2);
        for (size_t i = 0; i < length; ++i) {
            bytes[i] = static_cast<char>(name[i]);
        }
        out->adopt(bytes, static_cast<int32_t>(length));
        return true;
    }
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, static_cast<int>(length), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    BOOL replaced = FALSE;
    if (size <= 0 || WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, static_cast<int>(length), &bytes[0], size,
                                         nullptr, &replaced) != size) {
        mark_unspellable(name, length, out);
        return false;
    }
    out->assign_range(bytes.data(), 0, static_cast<int32_t>(bytes.size()));
    std::wstring back;
    return !replaced && widen(*out, &back) && back == std::wstring(name, length);
}

// listed_name of a name and short name given with their lengths.
RtString code_page_name(const wchar_t* name, size_t length, const wchar_t* short_name, size_t short_length) {
    RtString listed;
    if (to_code_page(name, length, &listed) || short_length == 0) {
        return listed;
    }
    to_code_page(short_name, short_length, &listed);
    return listed;
}

// parent + "\\" + name with one backslash between; parent + "\\" for an empty name.
std::wstring join_wide(const std::wstring& parent, const std::wstring& name) {
    std::wstring path = parent;
    if (path.empty() || path.back() != L'\\') {
        path.push_back(L'\\');
    }
    return path.append(name);
}

// A folder of the search: its path as the platform names it, for the lookups, and as the list
// names it, for the entries.
struct Folder {
    std::wstring path;
    RtString listed;
};

// A folder's identity: volume serial number and file index.
using FolderId = std::tuple<DWORD, DWORD, DWORD>;

// Without links or junctions every folder of the tree is reached once, by one path. Identifying a
// folder costs as much as listing it, so folders are identified only from the first link on: then
// every folder listed so far, and each one entered afterwards.
struct FolderSearch {
    std::deque<Folder> folders;  // in depth-first pre-order
    std::set<FolderId> visited;
    bool tracking = false;
    std::vector<char> listing;  // read buffer for the folders' entries
};

struct Subfolder {
    std::wstring name;
    RtString listed;
    bool is_link;
};

// False when the folder's identity cannot be read; it is then not tracked.
bool id_of(HANDLE folder, FolderId* id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info)) {
        return false;
    }
    *id = FolderId(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    return true;
}

bool folder_id(const std::wstring& path, FolderId* id) {
    HANDLE folder = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = id_of(folder, id);
    CloseHandle(folder);
    return ok;
}

// Opens the folder as making it current would (traverse access, shared for reading and writing),
// so that the search leaves out exactly the folders that could not be made current. The search
// lists the folder through the same handle, so it asks for listing too where it may: a folder that
// can be entered but not listed gives neither files nor subfolders either way.
HANDLE enter_folder(const std::wstring& path, bool* can_list) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE folder = CreateFileW(path.c_str(), FILE_TRAVERSE | FILE_LIST_DIRECTORY | SYNCHRONIZE, share, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    *can_list = folder != INVALID_HANDLE_VALUE;
    if (folder == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        folder = CreateFileW(path.c_str(), FILE_TRAVERSE | SYNCHRONIZE, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    }
    return folder;
}

// The full path, single-separated, as the platform makes it; "" when it cannot.
std::wstring full_path(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    DWORD n = size > 0 ? GetFullPathNameW(path.c_str(), size, &full[0], nullptr) : 0;
    full.resize(n > 0 && n < size ? n : 0);
    return full;
}

// A path for the platform's look-ups: as it is below MAX_PATH characters, else made full and put
// in the long form ("\\?\", "\\?\UNC\"), which the platform takes as it stands.
std::wstring lookup_path(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0) {
        return path;
    }
    std::wstring full = full_path(path);
    if (full.empty()) {
        return path;
    }
    if (full.compare(0, 2, L"\\\\") == 0) {
        return L"\\\\?\\UNC" + full.substr(1);
    }
    return L"\\\\?\\" + full;
}

void start_tracking(FolderSearch& search) {
    search.tracking = true;
    for (const Folder& folder : search.folders) {
        FolderId id;
        if (folder_id(folder.path, &id)) {
            search.visited.insert(id);
        }
    }
}

// True when the open folder was visited before; from then on it counts as visited.
bool seen_before(FolderSearch& search, HANDLE folder) {
    FolderId id;
    return id_of(folder, &id) && !search.visited.insert(id).second;
}

void add_subfolder(const wchar_t* name, size_t length, const wchar_t* short_name, size_t short_length,
                   DWORD attributes, std::vector<Subfolder>& out) {
    bool dot = length > 0 && length <= 2 && name[0] == L'.' && (length == 1 || name[1] == L'.');
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || dot) {
        return;
    }
    bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.push_back({std::wstring(name, length), code_page_name(name, length, short_name, short_length), link});
}

// The subfolders of an open folder, read through its handle in the order the platform lists them
// (the order of a search for "*.*" in it), without opening the folder a second time. False when
// the handle cannot be read this way; nothing is added then.
bool list_subfolders(HANDLE folder, std::vector<char>& buffer, std::vector<Subfolder>& out) {
    buffer.resize(64 * 1024);
    bool any = false;
    while (GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo, buffer.data(),
                                        static_cast<DWORD>(buffer.size()))) {
        any = true;
        for (const char* at = buffer.data();;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            add_subfolder(entry->FileName, entry->FileNameLength / sizeof(wchar_t), entry->ShortName,
                          static_cast<size_t>(entry->ShortNameLength) / sizeof(wchar_t), entry->FileAttributes, out);
            if (entry->NextEntryOffset == 0) {
                break;
            }
            at += entry->NextEntryOffset;
        }
    }
    return any || GetLastError() == ERROR_NO_MORE_FILES;
}

void find_subfolders(const std::wstring& folder, std::vector<Subfolder>& out) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW(lookup_path(join_wide(folder, L"*.*")).c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        add_subfolder(found.cFileName, wcslen(found.cFileName), found.cAlternateFileName,
                      wcslen(found.cAlternateFileName), found.dwFileAttributes, out);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
}

// Appends parent\name and, depth first, every folder below it to the search's folder list.
// Subfolders are listed completely before the first is entered. A folder that could not be made
// current, whose path is too long, or that was visited already (a link or junction back up the
// tree) is left out together with everything below it.
void collect_directories(FolderSearch& search, const Folder& parent, const Subfolder& name) {
    Folder folder = {join_wide(parent.path, name.name), join_path(parent.listed, name.listed)};
    if (!folder_path_fits(folder.path)) {
        return;
    }
    bool can_list = false;
    HANDLE entered = enter_folder(folder.path, &can_list);
    if (entered == INVALID_HANDLE_VALUE) {
        return;
    }
    if (name.is_link && !search.tracking) {
        start_tracking(search);
    }
    if (search.tracking && seen_before(search, entered)) {
        CloseHandle(entered);
        return;
    }
    search.folders.push_back(folder);

    std::vector<Subfolder> subfolders;
    if (!can_list || !list_subfolders(entered, search.listing, subfolders)) {
        find_subfolders(folder.path, subfolders);
    }
    CloseHandle(entered);
    for (const Subfolder& subfolder : subfolders) {
        collect_directories(search, folder, subfolder);
    }
}

// Appends the matches of pattern (a look-up path, or relative to the current folder): files as
// prefix\name (with_path) or bare names, folders skipped (with_path) or in brackets.
void add_folder_files(const std::wstring& pattern, const RtString& prefix, bool with_path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!is_folder) {
            RtString name = listed_name(found.cFileName, found.cAlternateFileName);
            file_list.push_back(with_path ? join_path(prefix, name) : name);
        } else if (!with_path) {
            RtString entry("[");
            entry.append(listed_name(found.cFileName, found.cAlternateFileName));
            entry.append_char(']');
            file_list.push_back(entry);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The current folder; "" when it does not fit the platform's buffer.
std::wstring current_folder() {
    wchar_t buffer[MAX_PATH + 32] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 32, buffer);
    return n < MAX_PATH + 32 ? std::wstring(buffer) : std::wstring();
}

// The short form of a path; "" when it has none.
std::wstring short_form(const std::wstring& path) {
    wchar_t buffer[MAX_PATH + 32] = {};
    DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH + 32);
    return n > 0 && n < MAX_PATH + 32 ? std::wstring(buffer) : std::wstring();
}

// Where the name part of a pattern begins: after its last separator, else after its drive ("C:").
size_t name_start(const std::wstring& pattern) {
    size_t last = pattern.find_last_of(L"\\/");
    if (last != std::wstring::npos) {
        return last + 1;
    }
    return pattern.size() >= 2 && pattern[1] == L':' ? 2 : 0;
}

// The walk starts in the folder that the pattern's folder part names (relative to the current
// folder), or in the current folder, and matches the name part in every folder below it. The
// current folder, which every thread shares, never changes: the walk goes by absolute paths.
void search_all_folders(const std::wstring& pattern) {
    size_t name_at = name_start(pattern);
    std::wstring start = name_at == 0 ? current_folder() : full_path(pattern.substr(0, name_at));
    if (start.empty()) {
        return;
    }
    FolderSearch search;
    // The start folder is entered as start + "\": the folder list holds it with a trailing backslash.
    std::wstring start_short = short_form(start);
    collect_directories(search, {start, listed_name(start.c_str(), start_short.c_str())}, {L"", RtString(), false});
    std::wstring name = pattern.substr(name_at);
    for (const Folder& folder : search.folders) {
        add_folder_files(lookup_path(join_wide(folder.path, name)), folder.listed, true);
    }
}

// Class names are ASCII: compare the start of class_name with the upper-case prefix.
bool class_begins_with(const char* class_name, const char* prefix) {
    for (; *prefix != 0; ++prefix, ++class_name) {
        char c = *class_name;
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != *prefix) {
            return false;
        }
    }
    return true;
}

void fill_list(LPARAM lparam) {
    auto* r = reinterpret_cast<FillListRecord*>(lparam);
    r->added = fill_list_control(r->control, r->message);
}

const RequestReg kListRequests[] = {
    {kReqFillList, fill_list, kTravelPosted, true},
    {0, nullptr, kTravelPosted, false},
};

int32_t fill_through_main_thread(HWND control, UINT message) {
    FillListRecord* record = new FillListRecord{control, message, &file_list, 0};
    post_request(kReqFillList, record);
    int32_t added = record->added;
    delete record;
    return added;
}

// The channels at an end that has no clean-up (the process ended from the main thread: the text
// window closed, heap exhaustion there): a channel open for writing whose text the runtime's flush
// did not write is reported as close_all_channels() does. When the worker ends, the clean-up that
// follows closes them.
void end_channels(EndWay way, bool flushed) {
    if (way == kEndWorkerEnds) {
        return;
    }
    for (RtChannel& c : channel_table) {
        if (c.stream != nullptr && c.read_flag == 0 && (!flushed || ferror(c.stream) != 0)) {
            report_at_end(303, c.name.c_str());  // "Fehler beim Schreiben: "
        }
    }
}

}  // namespace

RtString listed_name(const wchar_t* name, const wchar_t* short_name) {
    return code_page_name(name, wcslen(name), short_name, short_name != nullptr ? wcslen(short_name) : 0);
}

void init_file_search() {
    register_requests(kListRequests);
    g_switches.filemode = 2;
    io_result = 0;
    g_open_search = nullptr;
    install_end_step(end_channels);
}

void exit_file_search() {
    if (g_open_search != nullptr) {
        FindClose(g_open_search);
        g_open_search = nullptr;
    }
    close_all_channels();
    clear_list();
}

void add_files(const RtString& pattern, int32_t all_subfolders) {
    std::wstring wide;
    if (!widen(pattern, &wide)) {
        io_result = static_cast<int32_t>(GetLastError());
    } else if (all_subfolders == 0) {
        add_folder_files(wide, RtString(), false);
    } else {
        search_all_folders(wide);
    }
    last_index = static_cast<int32_t>(file_list.size()) - 1;
}

int32_t copy_list_to_control(HWND control) {
    if (last_index == -1) {
        return 0;
    }
    char class_name[129] = {};
    GetClassNameA(control, class_name, 128);
    if (class_begins_with(class_name, "LISTBOX")) {
        return fill_through_main_thread(control, LB_ADDSTRING);
    }
    if (class_begins_with(class_name, "COMBOBOX")) {
        return fill_through_main_thread(control, CB_ADDSTRING);
    }
    if (class_begins_with(class_name, "EDIT")) {
        return SetWindowTextA(control, list_text().c_str()) ? last_index + 1 : 0;
    }
    if (class_begins_with(class_name, "SYSLISTVIEW")) {
        int32_t added = 0;
        for (const RtString& entry : file_list) {
            added += add_list_view_row(control, -1, entry) >= 0 ? 1 : 0;
        }
        return added;
    }
    report_error(280, nullptr);
    return 0;
}

int32_t add_list_view_row(HWND control, int32_t row, const RtString& text) {
    std::vector<RtString> columns = split_columns(text, g_switches.listdel);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row != -1 ? row : static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = columns[0].data;
    int32_t index = static_cast<int32_t>(SendMessageA(control, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (size_t i = 1; index >= 0 && i < columns.size(); ++i) {
        LVITEMA sub = {};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = columns[i].data;
        SendMessageA(control, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
    }
    return index;
}

// A list box or combo box answers an entry it cannot take with LB_ERR or LB_ERRSPACE (CB_ the same).
int32_t fill_list_control(HWND control, UINT message) {
    int32_t added = 0;
    for (const RtString& entry : file_list) {
        added += SendMessageA(control, message, 0, reinterpret_cast<LPARAM>(entry.c_str())) >= 0 ? 1 : 0;
    }
    return added;
}
