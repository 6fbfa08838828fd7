// Benchmark of add_files as the gallery builder uses it: "*.JP*", "*.GIF" and "*.PNG" in all
// subfolders of a tree of 100,000 files in 1,000 folders, against a bare FindFirstFileA walk that
// makes the same three passes and keeps the same full paths, in the same run. Prints the times,
// their ratio, and the heap memory the list takes per entry at two sizes. Not run by ctest.
// Usage: add_files_bench [folders [files per folder [rounds]]]
#include <windows.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/system/file_list.h"
#include "tests/system/host_files.h"

namespace {

const char* const kPatterns[] = {"*.JP*", "*.GIF", "*.PNG"};
const char* const kExtensions[] = {".jpg", ".jpeg", ".gif", ".png", ".txt"};

double now_ms() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Bytes in use on the C runtime's heap, where the list's entries and strings live.
size_t heap_bytes() {
    _HEAPINFO info = {};
    size_t used = 0;
    while (_heapwalk(&info) == _HEAPOK) {
        if (info._useflag == _USEDENTRY) {
            used += info._size;
        }
    }
    return used;
}

// Ten top folders with the rest spread below them: folders in all, files_per_folder in each.
void build_tree(const std::string& root, int folders, int files_per_folder) {
    int top = 10;
    int below = folders / top - 1;
    for (int t = 0; t < top; ++t) {
        std::string top_folder = root + "\\album" + std::to_string(t);
        CreateDirectoryA(top_folder.c_str(), nullptr);
        for (int b = -1; b < below; ++b) {
            std::string folder = b < 0 ? top_folder : top_folder + "\\event_" + std::to_string(b);
            CreateDirectoryA(folder.c_str(), nullptr);
            for (int i = 0; i < files_per_folder; ++i) {
                std::string name = folder + "\\picture_" + std::to_string(i) + kExtensions[i % 5];
                HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
                CloseHandle(file);
            }
        }
    }
}

// The bare walk: the matches of pattern in folder as full paths, then each subfolder in turn.
void bare_walk(const std::string& folder, const char* pattern, std::vector<std::string>& out) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                out.push_back(folder + "\\" + found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::vector<std::string> subfolders;
    search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." && name != "..") {
                subfolders.push_back(name);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const std::string& name : subfolders) {
        bare_walk(folder + "\\" + name, pattern, out);
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int folders = argc > 1 ? std::atoi(argv[1]) : 1000;
    int files_per_folder = argc > 2 ? std::atoi(argv[2]) : 100;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    std::string root = fresh_test_folder("bench");
    double start = now_ms();
    build_tree(root, folders, files_per_folder);
    std::printf("tree: %d folders, %d files, built in %.0f ms\n", folders, folders * files_per_folder,
                now_ms() - start);
    SetCurrentDirectoryA(root.c_str());

    std::vector<double> search_times;
    std::vector<double> walk_times;
    size_t entries = 0;
    size_t walked = 0;
    // The two take turns at going first, so that neither always finds the caches warm.
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> bare;
        for (int turn = 0; turn < 2; ++turn) {
            double t0 = now_ms();
            if ((turn + round) % 2 == 0) {
                clear_list();
                for (const char* pattern : kPatterns) {
                    add_files(RtString(pattern), 1);
                }
                search_times.push_back(now_ms() - t0);
                entries = file_list.size();
            } else {
                bare.clear();
                for (const char* pattern : kPatterns) {
                    bare_walk(root, pattern, bare);
                }
                walk_times.push_back(now_ms() - t0);
                walked = bare.size();
            }
        }
        std::printf("round %d: add_files %.0f ms, bare walk %.0f ms\n", round + 1, search_times.back(),
                    walk_times.back());
    }
    double search_ms = median(search_times);
    double walk_ms = median(walk_times);
    std::printf("entries: add_files %zu, bare walk %zu%s\n", entries, walked, entries == walked ? "" : "  MISMATCH");
    std::printf("median: add_files %.0f ms, bare walk %.0f ms, ratio %.2f (target <= 1.10)\n", search_ms, walk_ms,
                search_ms / walk_ms);
    std::printf("best:   add_files %.0f ms, bare walk %.0f ms, ratio %.2f\n",
                *std::min_element(search_times.begin(), search_times.end()),
                *std::min_element(walk_times.begin(), walk_times.end()),
                *std::min_element(search_times.begin(), search_times.end()) /
                    *std::min_element(walk_times.begin(), walk_times.end()));

    // Memory: the list filled once, then again on top (twice the entries).
    clear_list();
    size_t empty = heap_bytes();
    for (const char* pattern : kPatterns) {
        add_files(RtString(pattern), 1);
    }
    size_t once = heap_bytes();
    size_t n1 = file_list.size();
    for (const char* pattern : kPatterns) {
        add_files(RtString(pattern), 1);
    }
    size_t twice = heap_bytes();
    size_t n2 = file_list.size();
    std::printf("memory: %zu entries +%zu KiB (%.1f bytes/entry), %zu entries +%zu KiB (%.1f bytes/entry)\n", n1,
                (once - empty) / 1024, static_cast<double>(once - empty) / static_cast<double>(n1), n2,
                (twice - empty) / 1024, static_cast<double>(twice - empty) / static_cast<double>(n2));
    clear_list();

    SetCurrentDirectoryA("C:\\");
    host_files::remove_tree(root);
    return 0;
}
