#include "tests/support/process_runner.h"

#include <cstdio>

namespace {

// Sets the variables for the child and returns their previous values.
std::vector<std::pair<std::string, std::string>> set_environment(
    const std::vector<std::pair<std::string, std::string>>& variables) {
    std::vector<std::pair<std::string, std::string>> previous;
    for (const auto& [name, value] : variables) {
        char buffer[4096];
        DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
        previous.emplace_back(name, n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string("\x01"));
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    return previous;
}

void restore_environment(const std::vector<std::pair<std::string, std::string>>& previous) {
    for (const auto& [name, value] : previous) {
        SetEnvironmentVariableA(name.c_str(), value == "\x01" ? nullptr : value.c_str());
    }
}

std::string read_file(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        text.append(buffer, n);
    }
    return text;
}

}  // namespace

std::string test_folder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

HANDLE start_program(const std::string& command_line, const ProcessOptions& options, HANDLE output_file) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (output_file != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output_file;
        startup.hStdError = output_file;
    }
    std::string folder = options.working_folder.empty() ? test_folder() : options.working_folder;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back(0);
    auto previous = set_environment(options.environment);
    PROCESS_INFORMATION info = {};
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &info);
    restore_environment(previous);
    if (!ok) {
        return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

ProcessResult run_program(const std::string& command_line, const ProcessOptions& options) {
    ProcessResult result;
    char temp_folder[MAX_PATH];
    char temp_name[MAX_PATH];
    GetTempPathA(MAX_PATH, temp_folder);
    GetTempFileNameA(temp_folder, "rto", 0, temp_name);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(temp_name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE process = start_program(command_line, options, output);
    if (process == nullptr) {
        result.exit_code = static_cast<DWORD>(-1);
        result.output = "<could not start: " + command_line + ">";
        CloseHandle(output);
        return result;
    }
    if (WaitForSingleObject(process, options.timeout_ms) != WAIT_OBJECT_0) {
        result.timed_out = true;
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    GetExitCodeProcess(process, &result.exit_code);
    CloseHandle(process);
    result.output = read_file(output);
    CloseHandle(output);
    return result;
}

std::vector<std::string> output_lines(const std::string& output) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string output_value(const std::string& output, const std::string& key) {
    for (const std::string& line : output_lines(output)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return "<missing>";
}
