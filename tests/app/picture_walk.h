// The order in which the gallery builder lists pictures, walked directly with FindFirstFileA: one
// walk per pattern ("*.JP*", "*.GIF", "*.PNG"), the folders depth first from the start folder, and within a
// folder the platform's enumeration order. The tests' expectation and the benchmark's baseline;
// and the making and removing of picture trees.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> walk_pictures(const std::string& start);

// Makes a folder and every folder above it that is missing.
void make_folders(const std::string& path);
// Removes a folder with everything below it.
void remove_tree(const std::string& folder);
