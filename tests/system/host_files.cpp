#include "tests/system/host_files.h"

namespace {

using SpawnFunction = LONG(WINAPI*)(char* const* argv, int wait);
using UnixNameFunction = char*(CDECL*)(const WCHAR* dos_name);

SpawnFunction spawn_function() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr ? reinterpret_cast<SpawnFunction>(GetProcAddress(ntdll, "__wine_unix_spawnvp")) : nullptr;
}

UnixNameFunction unix_name_function() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<UnixNameFunction>(GetProcAddress(kernel, "wine_get_unix_file_name"))
                             : nullptr;
}

}  // namespace

namespace host_files {

// The drive letters are links in the prefix's dosdevices folder; C:\ is reached through c: there.
std::string device_link(char letter) {
    std::string c_drive = unix_path("C:\\");
    size_t at = c_drive.rfind("/dosdevices/");
    if (at == std::string::npos) {
        return "";
    }
    return c_drive.substr(0, at) + "/dosdevices/" + static_cast<char>(letter | 0x20) + ":";
}

bool available() {
    return spawn_function() != nullptr && unix_name_function() != nullptr;
}

std::string unix_path(const std::string& windows_path) {
    UnixNameFunction to_unix = unix_name_function();
    if (to_unix == nullptr) {
        return "";
    }
    std::wstring wide(windows_path.begin(), windows_path.end());
    char* name = to_unix(wide.c_str());
    if (name == nullptr) {
        return "";
    }
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool run(const std::vector<std::string>& argv) {
    SpawnFunction spawn = spawn_function();
    if (spawn == nullptr) {
        return false;
    }
    std::vector<char*> pointers;
    for (const std::string& a : argv) {
        pointers.push_back(const_cast<char*>(a.c_str()));
    }
    pointers.push_back(nullptr);
    return spawn(pointers.data(), 1) == 0;
}

bool make_link(const std::string& target, const std::string& link_path) {
    std::string link = unix_path(link_path);
    return !link.empty() && run({"/bin/ln", "-s", target, link});
}

bool map_drive(char letter, const std::string& folder) {
    std::string target = unix_path(folder);
    if (target.empty()) {
        return false;
    }
    std::string device = device_link(letter);
    if (device.empty() || GetFileAttributesA((std::string(1, letter) + ":\\").c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return run({"/bin/ln", "-s", target, device});
}

void unmap_drive(char letter) {
    std::string device = device_link(letter);
    if (!device.empty()) {
        run({"/bin/rm", "-f", device});
    }
}

// base's Unix path followed by relative with forward slashes; "" when base has none.
std::string host_path(const std::string& base, const std::string& relative) {
    std::string path = unix_path(base);
    if (path.empty()) {
        return "";
    }
    path += '/';
    for (char c : relative) {
        path += c == '\\' ? '/' : c;
    }
    return path;
}

bool make_long_folders(const std::string& base, const std::string& relative) {
    std::string path = host_path(base, relative);
    return !path.empty() && run({"/bin/mkdir", "-p", path});
}

bool make_long_file(const std::string& base, const std::string& relative) {
    std::string path = host_path(base, relative);
    return !path.empty() && run({"/bin/touch", path});
}

void remove_tree(const std::string& folder) {
    std::string path = unix_path(folder);
    if (path.size() > 1) {
        run({"/bin/rm", "-rf", path});
    }
}

}  // namespace host_files

void make_folders(const std::string& folder) {
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\') {
            CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
        }
    }
}

void make_file(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string fresh_test_folder(const std::string& name) {
    std::string folder = "C:\\rt_" + name + "_" + std::to_string(GetCurrentProcessId());
    host_files::remove_tree(folder);
    make_folders(folder);
    return folder;
}
