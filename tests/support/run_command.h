#pragma once
// Runs a shell command line for the tests that drive the programs
// themselves (movarel, movarel-tool) and keeps what it wrote.
#include <string>

struct CommandRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;  // standard output (redirect 2>&1 in the command for both)
};

CommandRun RunCommand(const std::string& command);

// The same, with standard error folded into out.
CommandRun RunShell(const std::string& command);

// Whether a program of that name is on PATH.
bool HaveCommand(const std::string& name);

// movarel-tool as the tests run it: $MOVAREL_TOOL, else the one on PATH.
std::string ToolPath();

// s in single quotes, for a shell command line (the tests' paths hold none).
std::string Quote(const std::string& s);
