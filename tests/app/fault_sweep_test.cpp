// The fault sweep: each row runs a scenario (the gallery builder from start to clean-up, or a test
// body) with one import failing at its Nth call, N = 1, 2, 3 ... until the fault no longer fires,
// and checks every run with one helper: it ended within its bound, with the documented exit code;
// the failure was seen (the row's report or io result); no file of the builder is left and no new
// file appeared outside the places the run may write; the handles it opened are closed. Heap
// failures are sampled; RT_FAULT_FULL=1 runs every N, RT_FAULT_ROWS=scenario,... only those rows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/system/host_files.h"

namespace {

const std::string kRoot = "C:\\rt_fault_sweep\\";
const char kBrowser[] = "C:\\Program Files\\Fault Sweep\\browser.exe";
const char kFallback[] = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";
const char kStrasse[] =
    "Stra\xDF"
    "e";
const char kSomeoneElses[] = "not the builder's";

struct Row {
    const char* scenario;  // gallery, channels, disk (channels on a full disk), window, search,
                           // settings, external, posted
    const char* call;      // the import that fails ("" none)
    const char* thread;    // where its calls count: main, worker, any
    const char* seen;      // when it fired: text of a box or of a printed line ("" not checked,
                           // kNoBox: no box at all)
    DWORD error = 0;       // the failure's error (0: the layer's realistic default)
    int first = 1;         // the first N
    bool sampled = false;  // heap: about 12 samples with a stride
    DWORD fired_exit = 0;  // the exit code when it fired (heap exhaustion: always 1)
    int last = 1 << 20;    // the last N
};

const char kWriteFailed[] = "Fehler beim Schreiben: ";
const char kNoBox[] = "(no box)";
const char kNoMemory[] = "Nicht genug Speicher!";

const Row kRows[] = {
    // The gallery builder, from the registry's browser to the removal of its files (the search's
    // calls: the search rows).
    {"gallery", "GetShortPathNameA", "worker", ""},
    {"gallery", "GetWindowsDirectoryA", "worker", "Windows-Ordner nicht gefunden!"},
    {"gallery", "FindFirstFileA", "worker", ""},
    {"gallery", "RegQueryValueExA", "worker", ""},
    {"gallery", "CreateMutexExA", "worker", "Mutex kann nicht erzeugt werden: "},
    {"gallery", "WaitForSingleObject", "worker", "Auf den Mutex kann nicht gewartet werden: "},
    {"gallery", "fopen", "worker", "Datei kann nicht erzeugt werden: "},
    {"gallery", "fclose", "worker", kWriteFailed},
    {"gallery", "DeleteFileA", "worker", kNoBox},  // a sharing violation: tried again
    {"gallery", "DeleteFileA", "worker", "Datei kann nicht entfernt werden: ", ERROR_ACCESS_DENIED},
    {"gallery", "WinExec", "worker", ""},
    {"gallery", "OpenProcess", "worker", ""},
    {"gallery", "SendMessageTimeoutA", "worker", ""},
    {"gallery", "malloc", "worker", kNoMemory, 0, 1, true},
    // Channels written, reopened while open, and one left open at the end.
    {"channels", "fopen", "worker", ""},
    {"channels", "fwrite", "worker", "", 0, 1, true},
    {"channels", "fflush", "worker", ""},
    {"channels", "fclose", "worker", ""},
    {"channels", "fflush", "main", kWriteFailed},  // the end's close of the channel left open
    {"channels", "fclose", "main", kWriteFailed},
    {"channels", "malloc", "worker", kNoMemory, 0, 1, true},
    {"disk", "", "any", "io reopen b=103"},
    // The text window closed while the body writes: N = 1 is the worker's own thread.
    {"window", "CreateThread", "main", kWriteFailed, 0, 2},
    {"window", "CreateCompatibleBitmap", "main", "", 0, 1, false, 1},
    // A search over a tree from the folder beside it.
    {"search", "FindFirstFileW", "worker", ""},
    {"search", "CreateFileW", "worker", ""},
    {"search", "GetFileInformationByHandleEx", "worker", ""},
    {"search", "GetFullPathNameW", "worker", ""},
    {"search", "MultiByteToWideChar", "worker", ""},
    {"search", "WideCharToMultiByte", "worker", ""},
    {"search", "malloc", "worker", kNoMemory, 0, 1, true},
    // An INI value and a registry value.
    {"settings", "GetPrivateProfileStringA", "worker", ""},
    {"settings", "RegOpenKeyExA", "worker", "REGISTRY: "},
    {"settings", "RegQueryValueExA", "worker", "REGISTRY: "},
    // An external call into a library loaded for it.
    {"external", "LoadLibraryA", "worker", "Fehler beim Laden der DLL: "},
    {"external", "GetProcAddress", "worker", "Funktion in DLL nicht vohanden: "},
    // Start-up and one posted request.
    {"posted", "RegisterClassA", "main", "", 0, 1, false, 1},
    {"posted", "CreateWindowExA", "main", "", 0, 1, false, 1},
    {"posted", "CreateEventA", "main", "", 0, 1, false, 1},
    {"posted", "CreateThread", "main", "", 0, 1, false, 1},
    {"posted", "GetStockObject", "main", "", 0, 2, false, 1, 2},  // the font (1 and 3: null brushes)
};

struct FaultRun {
    ProcessResult result;
    DWORD ms = 0;
    bool fired = false;
    std::vector<std::string> boxes;
    std::string end;  // "exit calls=... open=..." and the like
};

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string temp_folder() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\temp\\";
}

void set_default_value(HKEY root, const std::string& key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

// The names in a folder and, with below, in every folder under it.
void list_names(const std::string& folder, bool below, std::set<std::string>* names) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names->insert(folder + name);
            if (below && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                list_names(folder + name + "\\", true, names);
            }
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The long name of the file an entry names, in small letters; "" when it names none.
std::string file_named(const std::string& entry) {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetLongPathNameA(entry.c_str(), path, sizeof path);
    if (n == 0 || n >= sizeof path || (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "";
    }
    CharLowerA(path);
    return path;
}

class FaultSweep : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        host_files::remove_tree(kRoot.substr(0, kRoot.size() - 1));
        for (const char* file : {"pictures\\a.jpg", "pictures\\b.gif", "pictures\\Urlaub\\c.png",
                                 "pictures\\Urlaub\\Gr\xFC\xDF"
                                 "e.jpg",
                                 "tree\\a.jpg", "tree\\note.txt", "tree\\sub\\b.jpg", "tree\\sub\\deep\\d.jpg",
                                 "tree\\.x\\c.jpg", "tree\\..x\\e.jpg", "other\\decoy.jpg", "log\\x"}) {
            std::string path = kRoot + file;
            make_folders(path.substr(0, path.rfind('\\')));
            write_bytes(path, "picture");
        }
        make_folders(kRoot + "tree\\" + kStrasse);
        write_bytes(kRoot + "tree\\" + kStrasse + "\\s.jpg", "picture");
        write_bytes(kRoot + "settings.ini", "[gallery]\r\nfolder=pictures\r\n");
        set_default_value(HKEY_CURRENT_USER, "Software\\rt_fault_sweep", "folder", "pictures");
        // Someone else's files where a temp folder named without its drive's root would land.
        made_temp_ = CreateDirectoryA("C:\\temp", nullptr) != FALSE;
        write_bytes("C:\\temp\\feed.rss", kSomeoneElses);
        for (const char* path : {kBrowser, kFallback}) {
            make_folders(std::string(path).substr(0, std::string(path).rfind('\\')));
            CopyFileA((test_folder() + "standin_browser.exe").c_str(), path, FALSE);
        }
        set_default_value(HKEY_CLASSES_ROOT, "Applications\\firefox.exe\\shell\\open\\command", "",
                          std::string("\"") + kBrowser + "\" \"%1\"");
        char command[1024] = {};
        LONG size = sizeof command;
        RegQueryValueA(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", command, &size);
        saved_html_command_ = command;
        set_default_value(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", "",
                          "\"" + test_folder() + "standin_browser.exe\" --shell \"%1\"");
        watched_ = snapshot();
    }

    static void TearDownTestSuite() {
        set_default_value(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", "", saved_html_command_);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "Applications\\firefox.exe");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\rt_fault_sweep");
        for (const char* path : {kBrowser, kFallback}) {
            DeleteFileA(path);
            RemoveDirectoryA(std::string(path).substr(0, std::string(path).rfind('\\')).c_str());
        }
        DeleteFileA("C:\\temp\\feed.rss");
        DeleteFileA("C:\\temp\\gallery.htm");
        if (made_temp_) {
            RemoveDirectoryA("C:\\temp");
        }
        host_files::remove_tree(kRoot.substr(0, kRoot.size() - 1));
    }

    // What the runs may not add to: the roots, the temp folders, the pictures and the programs.
    static std::set<std::string> snapshot() {
        std::set<std::string> names;
        for (const std::string& folder :
             {std::string("C:\\"), std::string("C:\\temp\\"), temp_folder(), test_folder()}) {
            list_names(folder, false, &names);
        }
        list_names(kRoot + "pictures\\", true, &names);
        return names;
    }

    // A run of the row's scenario with its import failing at call n (0: none fails, only counted).
    static FaultRun run(const Row& row, int n, const std::string& folder = kRoot) {
        std::string report = kRoot + "report.txt";
        DeleteFileA(report.c_str());
        ProcessOptions options;
        options.environment = {{"RT_FAULT", row.call},
                               {"RT_FAULT_N", std::to_string(n)},
                               {"RT_FAULT_THREAD", row.thread},
                               {"RT_FAULT_ERROR", row.error != 0 ? std::to_string(row.error) : ""},
                               {"RT_FAULT_REPORT", report},
                               {"RT_FAULT_FOLDER", folder},
                               {"RT_FAULT_CLOCK", "10"},
                               {"RT_SCENARIO", std::string(row.scenario) == "disk" ? "channels" : row.scenario},
                               {"RT_STANDIN_LOG", kRoot + "log\\"},
                               {"RT_STANDIN_SHOW_MS", "50"}};
        options.timeout_ms = 60000;
        options.working_folder = std::string(row.scenario) == "search" ? kRoot + "other" : "";
        std::string command =
            std::string(row.scenario) == "gallery" ? "gallery_faults.exe \"" + kRoot + "pictures\"" : "fault_body.exe";
        for (const char* log : {"commandline.txt", "shell.txt"}) {
            DeleteFileA((kRoot + "log\\" + log).c_str());
        }
        FaultRun r;
        DWORD start = GetTickCount();
        r.result = run_program(command, options);
        r.ms = GetTickCount() - start;
        std::ifstream lines(report);
        for (std::string line; std::getline(lines, line);) {
            line = line.substr(0, line.find_last_not_of('\r') + 1);
            r.fired = r.fired || line == "fired";
            if (line.rfind("box ", 0) == 0) {
                r.boxes.push_back(line.substr(4));
            }
            if (line.rfind("end ", 0) == 0) {
                r.end = line.substr(4);
            }
        }
        return r;
    }

    static int open_at_exit(const FaultRun& r) {
        size_t at = r.end.find("open=");
        return r.end.rfind("exit", 0) == 0 && at != std::string::npos ? std::atoi(r.end.c_str() + at + 5) : -1;
    }

    static bool shown(const FaultRun& r, const std::string& text) {
        for (const std::string& box : r.boxes) {
            if (box.find(text) != std::string::npos) {
                return true;
            }
        }
        return r.result.output.find(text) != std::string::npos;
    }

    // The checks of every run.
    static void check(const Row& row, int n, const FaultRun& r, int baseline_open) {
        SCOPED_TRACE(std::string(row.scenario) + " " + row.call + " N=" + std::to_string(n) + "\n" + r.result.output +
                     "boxes: " + ::testing::PrintToString(r.boxes) + "\nend: " + r.end);
        const std::string scenario = row.scenario;
        EXPECT_FALSE(r.result.timed_out);
        EXPECT_LT(r.ms, scenario == "gallery" ? 20000u : 10000u);
        bool out_of_memory = shown(r, kNoMemory);
        EXPECT_EQ(r.result.exit_code, out_of_memory ? 1u : r.fired ? row.fired_exit : 0u);
        if (r.fired && row.seen == kNoBox) {
            EXPECT_TRUE(r.boxes.empty());
        } else if ((r.fired || scenario == "disk") && row.seen[0] != 0) {
            EXPECT_TRUE(shown(r, row.seen)) << "not seen: " << row.seen;
        }
        if (!r.fired && scenario != "disk") {
            EXPECT_TRUE(r.boxes.empty());
        }
        // Heap exhaustion ends the worker wherever it is: what it held open then is not counted.
        if (baseline_open >= 0 && open_at_exit(r) >= 0 && !out_of_memory) {
            EXPECT_LE(open_at_exit(r), baseline_open) << "handles left open";
        }
        // Text written and not kept is never reported as success.
        if ((scenario == "channels" && r.fired) || scenario == "disk") {
            bool io_failed = false;
            for (const std::string& line : output_lines(r.result.output)) {
                io_failed = io_failed || (line.rfind("io ", 0) == 0 && line.substr(line.find('=')) != "=0");
            }
            EXPECT_TRUE(io_failed || shown(r, kWriteFailed) || out_of_memory) << "a lost text went unreported";
        }
        if (scenario == "gallery") {
            check_gallery(r);
        } else if (scenario == "search") {
            check_search(row, r);
        } else if (scenario == "settings" || scenario == "external" || scenario == "posted") {
            check_values(r);
        }
    }

    // The user sees the show, the program's own page or a report; the builder's files are gone (or
    // named in its report), nobody else's file was touched and no file appeared where the run may
    // not write.
    static void check_gallery(const FaultRun& r) {
        EXPECT_TRUE(exists(kRoot + "log\\commandline.txt") || exists(kRoot + "log\\shell.txt") || !r.boxes.empty())
            << "the run ended with nothing shown";
        for (const char* name : {"feed.rss", "gallery.htm"}) {
            std::string path = temp_folder() + name;
            if (exists(path)) {
                EXPECT_TRUE(shown(r, name)) << path << " left and not reported";
                DeleteFileA(path.c_str());
            }
        }
        if (read_file_bytes("C:\\temp\\feed.rss") != kSomeoneElses) {
            ADD_FAILURE() << "C:\\temp\\feed.rss, someone else's file, was overwritten or removed";
            write_bytes("C:\\temp\\feed.rss", kSomeoneElses);
        }
        std::set<std::string> now = snapshot();
        std::vector<std::string> added;
        std::set_difference(now.begin(), now.end(), watched_.begin(), watched_.end(), std::back_inserter(added));
        EXPECT_TRUE(added.empty()) << ::testing::PrintToString(added);
    }

    // Every entry names a picture of the search's own folder, once; without a fault, or with one of
    // the conversions (which never drop a pattern), every picture there is listed.
    static void check_search(const Row& row, const FaultRun& r) {
        const std::string tree = kRoot + "tree\\";
        const std::vector<std::set<std::string>> expected = {
            {"a.jpg", "sub\\b.jpg", "sub\\deep\\d.jpg", ".x\\c.jpg", "..x\\e.jpg", std::string(kStrasse) + "\\s.jpg"},
            {std::string(kStrasse) + "\\s.jpg"},
            {"decoy.jpg"}};
        std::vector<std::set<std::string>> listed(3);
        for (const std::string& line : output_lines(r.result.output)) {
            if (line.rfind("entry ", 0) == 0) {
                size_t search = static_cast<size_t>(line[6] - '0');
                std::string file = file_named(line.substr(8));
                EXPECT_TRUE(listed[search].insert(file).second) << "twice: " << line;
            }
        }
        bool complete = !r.fired || std::string(row.call).find("To") != std::string::npos;
        for (size_t i = 0; i < 3; ++i) {
            std::set<std::string> wanted;
            for (const std::string& name : expected[i]) {
                wanted.insert(file_named((i == 2 ? kRoot + "other\\" : tree) + name));
            }
            EXPECT_TRUE(std::includes(wanted.begin(), wanted.end(), listed[i].begin(), listed[i].end()))
                << "search " << i << " listed " << ::testing::PrintToString(listed[i]);
            if (complete) {
                EXPECT_EQ(listed[i], wanted) << "search " << i;
            }
        }
    }

    // A value is the one written, or "" after a report (the worker ended: no value at all).
    static void check_values(const FaultRun& r) {
        const std::map<std::string, std::string> written = {
            {"ini", "pictures"}, {"registry", "pictures"}, {"external", "4711"}, {"posted", "0"}};
        for (const auto& [name, value] : written) {
            std::string got = output_value(r.result.output, "value " + name);
            if (got != "<missing>" && got != value) {
                EXPECT_TRUE(r.fired && got.empty()) << name << "=" << got;
            }
        }
    }

    static std::set<std::string> watched_;
    static std::string saved_html_command_;
    static bool made_temp_;
};

std::set<std::string> FaultSweep::watched_;
std::string FaultSweep::saved_html_command_;
bool FaultSweep::made_temp_ = false;

// A small tmpfs given to Wine as a drive: a real full disk. False where mount is not allowed.
bool mount_full_disk(char* letter, const std::string& folder) {
    make_folders(folder);
    std::string unix_folder = host_files::unix_path(folder);
    if (!host_files::run({"/bin/mount", "-t", "tmpfs", "-o", "size=8k", "tmpfs", unix_folder})) {
        return false;
    }
    for (char c : std::string("QRSTUVWP")) {
        if (host_files::map_drive(c, folder)) {
            *letter = c;
            return true;
        }
    }
    host_files::run({"/bin/umount", unix_folder});
    return false;
}

TEST_F(FaultSweep, EveryListedCallFailsAsWindowsWouldAndEachRunEndsAsDocumented) {
    const bool full = std::getenv("RT_FAULT_FULL") != nullptr && std::string(std::getenv("RT_FAULT_FULL")) == "1";
    const char* only = std::getenv("RT_FAULT_ROWS");
    std::map<std::string, int> baseline_open;
    for (const Row& row : kRows) {
        if (only != nullptr &&
            ("," + std::string(only) + ",").find("," + std::string(row.scenario) + ",") == std::string::npos) {
            continue;
        }
        DWORD started = GetTickCount();
        std::string folder = kRoot;
        char letter = 0;
        std::string disk = kRoot + "disk";
        if (std::string(row.scenario) == "disk") {
            if (!mount_full_disk(&letter, disk)) {
                std::printf("skipped (mount not allowed here): channels on a full disk\n");
                continue;
            }
            folder = std::string(1, letter) + ":\\";
        }
        if (baseline_open.count(row.scenario) == 0) {
            Row none = row;
            none.call = "";
            baseline_open[row.scenario] = letter != 0 ? -1 : open_at_exit(run(none, 0, folder));
        }
        // Sampled: about 12 N over the whole run, and 8 more over its end, where a heap failure
        // meets what the run has made by then.
        std::vector<int> sample;
        if (row.sampled && !full) {
            std::string counted = run(row, 0).end;
            int calls = std::atoi(counted.c_str() + counted.find("calls=") + 6);
            for (int n = 1; n <= calls; n += std::max(1, calls / 12)) {
                sample.push_back(n);
            }
            for (int i = 8; i >= 1; --i) {
                sample.push_back(std::max(1, calls + 1 - i * std::max(1, calls / 50)));
            }
        }
        int n = row.first;
        for (bool fired = true; sample.empty() ? fired && n <= row.last : n <= static_cast<int>(sample.size());) {
            int at = sample.empty() ? n : sample[static_cast<size_t>(n - 1)];
            FaultRun r = run(row, row.call[0] != 0 ? at : 0, folder);
            check(row, at, r, baseline_open[row.scenario]);
            fired = r.fired;
            ++n;
        }
        if (letter != 0) {
            host_files::unmap_drive(letter);
            host_files::run({"/bin/umount", host_files::unix_path(disk)});
        }
        std::printf("%s, %s on the %s thread: %d runs, %lu ms\n", row.scenario, row.call, row.thread, n - row.first,
                    GetTickCount() - started);
    }
}

}  // namespace
