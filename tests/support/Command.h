#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// A file of the build tree.
inline std::string Bin(const std::string& path) {
    const char* dir = std::getenv("CORVINAPORT_TEST_BINDIR");
    return std::string(dir ? dir : ".") + "/" + path;
}

// A shell command's exit status (-1 if it did not run or exit) and output.
struct CommandResult {
    int status = -1;
    std::string out;
};

inline CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        r.out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    return r;
}

// The text as one word for the shell.
inline std::string ShellWord(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
