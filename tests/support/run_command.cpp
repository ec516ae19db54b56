#include "run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

CommandRun RunCommand(const std::string& command) {
    CommandRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

CommandRun RunShell(const std::string& command) { return RunCommand(command + " 2>&1"); }

bool HaveCommand(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null").status == 0; }

std::string ToolPath() {
    const char* tool = std::getenv("MOVAREL_TOOL");
    return tool ? tool : "movarel-tool";
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }
