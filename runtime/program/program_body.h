/// \file
/// The program body: supplied by each executable, run on the worker thread once the runtime has
/// started. When it returns, the runtime asks the main thread to quit and the program ends.
#pragma once

/// The program itself, which every program of the runtime defines. The runtime's WinMain
/// (Brisko::main) calls it on the worker thread once the runtime has started (\ref threads);
/// when it returns, the program ends with exit code 0.
void program_body();
