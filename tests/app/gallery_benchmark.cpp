// Benchmark (run on demand, not by ctest): the gallery builder on a large picture tree, from its
// start until the browser is launched, against a bare program doing the same in the same run: the
// same three FindFirstFileA walks, the same feed text built in a reserved std::string, one write and
// the launch of the browser. Both are processes of their own, timed from their creation until the
// stand-in browser's first instruction, so process start-up and launch count on both sides.
//   gallery_benchmark.exe [pictures [folders [rounds]]]   default 100000 pictures in 1000 folders, 3 rounds
// Prints each round, the medians, their ratio and the gallery's peak working set. Run it twice with
// different sizes to see how time and memory grow.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/feed.h"
#include "tests/app/picture_walk.h"

namespace {

const char kTree[] = "C:\\gallery bench\\tree";
const char kLog[] = "C:\\gallery bench\\log\\";
const char kFallbackBrowser[] = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";

std::string folder_of_program() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

void make_tree(int pictures, int folders) {
    CreateDirectoryA("C:\\gallery bench", nullptr);
    CreateDirectoryA(kTree, nullptr);
    CreateDirectoryA(kLog, nullptr);
    const char* extensions[] = {".jpg", ".JPEG", ".gif", ".png", ".txt"};
    int per_folder = pictures / folders;
    for (int f = 0; f < folders; ++f) {
        // Ten top folders with the rest below them, so the walk descends.
        char folder[MAX_PATH];
        if (f < 10) {
            std::snprintf(folder, sizeof folder, "%s\\Ordner %d", kTree, f);
        } else {
            std::snprintf(folder, sizeof folder, "%s\\Ordner %d\\Unterordner %d", kTree, f % 10, f);
        }
        CreateDirectoryA(folder, nullptr);
        for (int i = 0; i < per_folder; ++i) {
            char name[MAX_PATH];
            std::snprintf(name, sizeof name, "%s\\Bild %05d%s", folder, i, extensions[i % 4]);
            HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
        // A file that no pattern matches.
        char other[MAX_PATH];
        std::snprintf(other, sizeof other, "%s\\liesmich%s", folder, extensions[4]);
        HANDLE file = CreateFileA(other, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
}

// The bare program: three walks, the feed in a reserved string, one write, the launch. Its exit
// code is the number of pictures.
int bare_main() {
    std::vector<std::string> pictures = walk_pictures(kTree);
    std::string feed;
    feed.reserve(256 + pictures.size() * 256);
    feed += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<rss version=\"2.0\" "
            "xmlns:media=\"http://search.yahoo.com/mrss/\">\r\n<channel>\r\n";
    for (const std::string& picture : pictures) {
        RtString url = code_path(RtString(picture.c_str()));
        feed += "<item>\r\n<media:thumbnail url=\"file:///";
        feed += url.c_str();
        feed += "\" type=\"image\" />\r\n<media:content  url=\"file:///";
        feed += url.c_str();
        feed += "\" type=\"image\" />\r\n</item>\r\n";
    }
    feed += "</channel>\r\n</rss>\r\n";
    HANDLE file = CreateFileA("C:\\gallery bench\\baseline.rss", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, feed.data(), static_cast<DWORD>(feed.size()), &written, nullptr);
    CloseHandle(file);
    std::string launch = "\"" + std::string(kFallbackBrowser) + "\" --shell C:\\gallery bench\\baseline.rss";
    WinExec(launch.c_str(), SW_SHOWNORMAL);
    return static_cast<int>(pictures.size());
}

std::string read_text(const std::string& path) {
    char buffer[64] = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "";
    }
    DWORD n = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &n, nullptr);
    CloseHandle(file);
    return std::string(buffer, n);
}

// Runs a command with the stand-in as the Program Files browser; returns the milliseconds from
// the process's creation until the stand-in started, its peak working set and its exit code.
double run_until_launch(const std::string& command, SIZE_T* peak_working_set, DWORD* exit_code) {
    DeleteFileA((std::string(kLog) + "started.txt").c_str());
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER start, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::printf("could not start %s\n", command.c_str());
        return -1;
    }
    // The counters are only there while the process lives: sample them until it ends.
    *peak_working_set = 0;
    while (WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory)) {
            SIZE_T seen = memory.PeakWorkingSetSize > memory.WorkingSetSize ? memory.PeakWorkingSetSize
                                                                             : memory.WorkingSetSize;
            *peak_working_set = seen > *peak_working_set ? seen : *peak_working_set;
        }
    }
    GetExitCodeProcess(info.hProcess, exit_code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    // The stand-in writes the performance counter at its start; the bare program does not wait for it.
    std::string stamp;
    for (int waited = 0; stamp.empty() && waited < 10000; waited += 20) {
        stamp = read_text(std::string(kLog) + "started.txt");
        Sleep(stamp.empty() ? 20 : 0);
    }
    long long started = _atoi64(stamp.c_str());
    return 1000.0 * static_cast<double>(started - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--bare") {
        return bare_main();
    }
    int pictures = argc > 1 ? std::atoi(argv[1]) : 100000;
    int folders = argc > 2 ? std::atoi(argv[2]) : 1000;
    int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    std::printf("making %d pictures in %d folders...\n", pictures, folders);
    std::fflush(stdout);
    make_tree(pictures, folders);

    std::string bin = folder_of_program();
    CreateDirectoryA("C:\\Program Files\\Mozilla Firefox", nullptr);
    CopyFileA((bin + "standin_browser.exe").c_str(), kFallbackBrowser, FALSE);
    SetEnvironmentVariableA("RT_STANDIN_LOG", kLog);
    const std::string gallery = "\"" + bin + "..\\gallery\\gallery.exe\" \"" + kTree + "\"";
    const std::string bare = "\"" + bin + "gallery_benchmark.exe\" --bare";

    std::vector<double> gallery_times, bare_times;
    SIZE_T peak = 0, bare_peak = 0;
    DWORD items = 0, code = 0;
    run_until_launch(bare, &bare_peak, &items);  // the tree into the file cache, for both alike
    for (int round = 1; round <= rounds; ++round) {
        bare_times.push_back(run_until_launch(bare, &bare_peak, &items));
        gallery_times.push_back(run_until_launch(gallery, &peak, &code));
        std::printf("round %d: gallery %.0f ms, bare %.0f ms\n", round, gallery_times.back(), bare_times.back());
        std::fflush(stdout);
    }
    DeleteFileA(kFallbackBrowser);
    RemoveDirectoryA("C:\\Program Files\\Mozilla Firefox");
    double gallery_ms = median(gallery_times);
    double bare_ms = median(bare_times);
    std::printf("pictures found:          %lu\n", static_cast<unsigned long>(items));
    std::printf("bare until launch:       %.0f ms (median)\n", bare_ms);
    std::printf("gallery until launch:    %.0f ms (median)\n", gallery_ms);
    std::printf("ratio:                   %.2f (target at most 1.10)\n", gallery_ms / bare_ms);
    std::printf("gallery peak working set: %.1f MB (%.0f bytes per picture)\n", peak / 1048576.0,
                items > 0 ? static_cast<double>(peak) / static_cast<double>(items) : 0.0);
    remove_tree("C:\\gallery bench");
    return 0;
}
