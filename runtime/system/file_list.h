// The hidden file list and the file search that fills it.
#pragma once

// Start-up and clean-up steps of the file state (run by the entry point).
void init_file_search();
void exit_file_search();
