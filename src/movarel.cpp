// The player's entry point.
#include <cstdio>
#include <cstring>

#include "shell/AboutBox.h"
#include "shell/MainWindow.h"

int main(int argc, char** argv) {
    // Answered before anything of the player exists: packagers and scripts
    // ask for the version on machines without a display, and the answer must
    // leave no work directory behind. The player's own option words start
    // with '/' or a single '-', so "--version" never reaches its parser.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Movarel %s\n", movarel::AboutBox::VersionLine().c_str());
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
    }
    return movarel::RunPlayer(argc, argv);
}
