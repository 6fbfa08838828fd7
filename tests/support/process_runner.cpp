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

}  // namespace

std::string read_file_bytes(const std::string& name) {
    std::string text;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        text.append(buffer, n);
    }
    CloseHandle(file);
    return text;
}

std::string test_folder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

RunningProgram::RunningProgram(const std::string& command_line, const ProcessOptions& options) {
    char temp_folder[MAX_PATH];
    char temp_name[MAX_PATH];
    GetTempPathA(MAX_PATH, temp_folder);
    GetTempFileNameA(temp_folder, "rto", 0, temp_name);
    output_name_ = temp_name;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    output_ = CreateFileA(temp_name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output_;
    startup.hStdError = output_;
    std::string folder = options.working_folder.empty() ? test_folder() : options.working_folder;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back(0);
    auto previous = set_environment(options.environment);
    PROCESS_INFORMATION info = {};
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &info);
    restore_environment(previous);
    if (ok) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        process_id_ = info.dwProcessId;
    }
}

RunningProgram::~RunningProgram() {
    if (process_ != nullptr) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    if (output_ != nullptr && output_ != INVALID_HANDLE_VALUE) {
        CloseHandle(output_);
    }
    DeleteFileA(output_name_.c_str());
}

std::string RunningProgram::output() const {
    return read_file_bytes(output_name_);
}

ProcessResult RunningProgram::finish(DWORD timeout_ms) {
    ProcessResult result;
    if (process_ == nullptr) {
        result.exit_code = static_cast<DWORD>(-1);
        result.output = "<could not start>";
        return result;
    }
    if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) {
        result.timed_out = true;
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    GetExitCodeProcess(process_, &result.exit_code);
    CloseHandle(process_);
    process_ = nullptr;
    result.output = read_file_bytes(output_name_);
    return result;
}

ProcessResult run_program(const std::string& command_line, const ProcessOptions& options) {
    RunningProgram program(command_line, options);
    if (!program.started()) {
        ProcessResult failed;
        failed.exit_code = static_cast<DWORD>(-1);
        failed.output = "<could not start: " + command_line + ">";
        return failed;
    }
    return program.finish(options.timeout_ms);
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

ProcessOptions scenario_options(const std::string& name) {
    ProcessOptions options;
    options.environment = {{"RT_SCENARIO", name}};
    return options;
}
