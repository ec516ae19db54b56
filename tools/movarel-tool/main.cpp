// movarel-tool: headless commands over the player's own film code.
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: movarel-tool COMMAND ...\n");
        return argc < 2 ? 2 : 0;
    }
    std::fprintf(stderr, "movarel-tool: unknown command %s\n", argv[1]);
    return 2;
}
