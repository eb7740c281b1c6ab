#pragma once

#include <string>
#include <vector>

// Start-up: reads the options, prepares the output folders, builds the view and the Store,
// and runs the UI loop. Returns the process exit code.
class App {
public:
    static int run(const std::vector<std::wstring>& args);
};
