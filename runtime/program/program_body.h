// The program body: supplied by each executable, run on the worker thread once the runtime has
// started. When it returns, the runtime asks the main thread to quit and the program ends.
#pragma once

void program_body();
