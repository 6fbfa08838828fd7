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
    std::string working_folder;                                    // empty: the test folder
    std::vector<std::pair<std::string, std::string>> environment;  // variables set for the child
};

// Options that start a test body with the scenario `name` (the variable RT_SCENARIO).
ProcessOptions scenario_options(const std::string& name);

// A file's bytes, read through a handle of its own (a program may still be writing it through a
// handle it inherited, whose file pointer must not move); "<missing>" when it cannot be opened.
std::string read_file_bytes(const std::string& path);

// The folder of the running test executable, with a trailing backslash.
std::string test_folder();

// Runs command_line (its first token names the program); the program is looked up in the test
// folder first.
ProcessResult run_program(const std::string& command_line, const ProcessOptions& options = {});

// A program started in the background, for tests that interact with its windows meanwhile.
class RunningProgram {
  public:
    RunningProgram(const std::string& command_line, const ProcessOptions& options = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD process_id() const { return process_id_; }
    // What the program wrote so far.
    std::string output() const;
    // Waits for the end (killing the program after the time-out) and collects the result.
    ProcessResult finish(DWORD timeout_ms = 30000);

  private:
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
    std::string output_name_;
    DWORD process_id_ = 0;
};

// Lines of a program's output, without their line ends.
std::vector<std::string> output_lines(const std::string& output);
// The value of the first line "key=value" of the output; "<missing>" when there is none.
std::string output_value(const std::string& output, const std::string& key);
