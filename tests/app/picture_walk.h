// The order in which the gallery builder lists pictures, walked directly with FindFirstFileA: per
// pattern ("*.JP*", "*.GIF", "*.PNG"), the folders depth first from the start folder, and within a
// folder the platform's enumeration order. The tests' expectation and the benchmark's baseline.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> walk_pictures(const std::string& start);
