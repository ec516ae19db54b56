#include "run_command.h"

#include <sys/wait.h>

#include <cstdio>

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
