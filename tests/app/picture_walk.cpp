#include "tests/app/picture_walk.h"

#include <windows.h>

namespace {

void collect_folders(const std::string& folder, std::vector<std::string>& out) {
    out.push_back(folder);
    std::vector<std::string> subfolders;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") {
                subfolders.push_back(name);
            }
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
    for (const std::string& name : subfolders) {
        collect_folders(folder + "\\" + name, out);
    }
}

}  // namespace

std::vector<std::string> walk_pictures(const std::string& start) {
    std::vector<std::string> pictures;
    for (const char* pattern : {"*.JP*", "*.GIF", "*.PNG"}) {
        // One whole walk per pattern, as the gallery builder searches.
        std::vector<std::string> folders;
        collect_folders(start, folders);
        for (const std::string& folder : folders) {
            WIN32_FIND_DATAA data;
            HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
            if (search == INVALID_HANDLE_VALUE) {
                continue;
            }
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    pictures.push_back(folder + "\\" + data.cFileName);
                }
            } while (FindNextFileA(search, &data));
            FindClose(search);
        }
    }
    return pictures;
}

void make_folders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

namespace {

// By the wide names: a name outside the code page has no ANSI form to delete it by.
void remove_wide_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_wide_tree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

void remove_tree(const std::string& folder) {
    std::wstring wide(folder.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()),
                                                        &wide[0], static_cast<int>(wide.size()))));
    remove_wide_tree(wide);
}
