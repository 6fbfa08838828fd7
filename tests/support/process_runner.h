// Starts a program of the test folder as its own process and collects its exit code and what it
// wrote to its standard output, with a time-out that kills it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    DWORD exit_code = 0;
    bool timed_out = false;
    std::string output;
};

struct ProcessOptions {
    DWORD timeout_ms = 30000;
    std::string working_folder;                               // empty: the test folder
    std::vector<std::pair<std::string, std::string>> environment;  // variables set for the child
};

// The folder of the running test executable, with a trailing backslash.
std::string test_folder();

// Runs command_line (its first token names the program); the program is looked up in the test
// folder first.
ProcessResult run_program(const std::string& command_line, const ProcessOptions& options = {});

// Starts a program and returns at once; the caller waits on and closes the process handle.
HANDLE start_program(const std::string& command_line, const ProcessOptions& options, HANDLE output_file);

// Lines of a program's output, without their line ends.
std::vector<std::string> output_lines(const std::string& output);
// The value of the first line "key=value" of the output; "<missing>" when there is none.
std::string output_value(const std::string& output, const std::string& key);
