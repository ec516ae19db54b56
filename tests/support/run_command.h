#pragma once
// Runs a shell command line for the tests that drive the programs
// themselves (movarel, movarel-tool) and keeps what it wrote.
#include <string>

struct CommandRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;  // standard output (redirect 2>&1 in the command for both)
};

CommandRun RunCommand(const std::string& command);
