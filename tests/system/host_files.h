// Test helpers for real file trees in the test Wine prefix: files and folders, links and drive
// letters made on the host file system (through Wine's Unix bridge), and removal of whole trees.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host_files {

// True when running under Wine with the Unix bridge available.
bool available();
// The Unix path of a Windows path; "" when it has none.
std::string unix_path(const std::string& windows_path);
// Runs a host program (argv[0] a Unix path) and waits; true when it could be started.
bool run(const std::vector<std::string>& argv);
// A symbolic link at link_path (Windows path) to target (a Unix path, relative to the link's
// folder when it does not begin with "/").
bool make_link(const std::string& target, const std::string& link_path);
// Drive letter (e.g. 'R') mapped to a Windows folder; false when the letter is taken.
bool map_drive(char letter, const std::string& folder);
void unmap_drive(char letter);
// Creates base\relative with the folders between, also when it is longer than MAX_PATH.
bool make_long_folders(const std::string& base, const std::string& relative);
// Creates the empty file base\relative (its folder must exist), also beyond MAX_PATH.
bool make_long_file(const std::string& base, const std::string& relative);
// Removes a folder with everything below it, links not followed.
void remove_tree(const std::string& folder);

}  // namespace host_files

// Creates the folder and the folders above it.
void make_folders(const std::string& folder);
// Creates (or truncates) a file holding the given bytes.
void make_file(const std::string& path, const std::string& bytes = "");
// A fresh folder of its own below C:\ for one test run.
std::string fresh_test_folder(const std::string& name);
