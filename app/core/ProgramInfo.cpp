#include "app/core/ProgramInfo.h"

#include <cstdio>
#include <cstring>

const char* ProductVersion() { return CORVINAPORT_VERSION; }

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const char* program,
                                       const char* help) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(help, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, ProductVersion());
            return 0;
        }
    }
    return std::nullopt;
}
