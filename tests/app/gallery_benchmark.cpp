// Benchmark (run on demand, not by ctest): the gallery builder on a large picture tree, from its
// start until the browser is launched, against a bare baseline in the same run: the same three
// FindFirstFileA walks, the same feed text built in a reserved std::string, and one write.
//   gallery_benchmark.exe [pictures [folders]]        default 100000 pictures in 1000 folders
// Prints the times, their ratio and the gallery's peak working set. Run it twice with different
// sizes to see how time and memory grow.
#include <windows.h>
#include <psapi.h>

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

// The bare baseline: three walks, the feed in a reserved string, one write. Returns milliseconds.
double run_baseline(size_t* items) {
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
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
    QueryPerformanceCounter(&end);
    *items = pictures.size();
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
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

// Runs gallery.exe on the tree with the stand-in as the Program Files browser; returns the
// milliseconds from its start until the stand-in started, and the gallery's peak working set.
double run_gallery(SIZE_T* peak_working_set) {
    std::string bin = folder_of_program();
    CreateDirectoryA("C:\\Program Files\\Mozilla Firefox", nullptr);
    CopyFileA((bin + "standin_browser.exe").c_str(), kFallbackBrowser, FALSE);
    DeleteFileA((std::string(kLog) + "started.txt").c_str());
    SetEnvironmentVariableA("RT_STANDIN_LOG", kLog);

    std::string command = "\"" + bin + "..\\gallery\\gallery.exe\" \"" + kTree + "\"";
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
            if (seen > *peak_working_set) {
                *peak_working_set = seen;
            }
        }
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    DeleteFileA(kFallbackBrowser);
    RemoveDirectoryA("C:\\Program Files\\Mozilla Firefox");

    // The stand-in writes the performance counter at its start.
    long long started = _atoi64(read_text(std::string(kLog) + "started.txt").c_str());
    return 1000.0 * static_cast<double>(started - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    int pictures = argc > 1 ? std::atoi(argv[1]) : 100000;
    int folders = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::printf("making %d pictures in %d folders...\n", pictures, folders);
    std::fflush(stdout);
    make_tree(pictures, folders);

    size_t items = 0;
    double baseline = run_baseline(&items);
    double baseline_again = run_baseline(&items);  // warm both ways alike
    if (baseline_again < baseline) {
        baseline = baseline_again;
    }
    SIZE_T peak = 0;
    double gallery = run_gallery(&peak);
    std::printf("pictures found:          %lu\n", static_cast<unsigned long>(items));
    std::printf("baseline:                %.0f ms\n", baseline);
    std::printf("gallery until launch:    %.0f ms\n", gallery);
    std::printf("ratio:                   %.2f (target at most 1.5)\n", gallery / baseline);
    std::printf("gallery peak working set: %.1f MB (%.0f bytes per picture)\n", peak / 1048576.0,
                items > 0 ? static_cast<double>(peak) / static_cast<double>(items) : 0.0);
    remove_tree("C:\\gallery bench");
    return 0;
}
