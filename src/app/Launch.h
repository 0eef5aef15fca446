#pragma once

// The entry point's work: the application ignores its command line, so the
// toolkit is handed only the program name (Qt would otherwise act on options
// such as -platform, -style or -reverse).

#include <vector>

class Launch
{
public:
    // The arguments for QApplication: the program name alone, followed by
    // the terminating null pointer. The pointers stay those of `argv`.
    static std::vector<char*> toolkitArguments(int argc, char** argv);
    // Creates the application and App, runs the event loop; 0 when it ends.
    static int run(int argc, char** argv);
};
