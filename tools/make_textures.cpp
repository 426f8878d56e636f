// Writes the tree textures "leaves.rgb" and "bark.rgb" (tools/textures.cpp)
// into the directory given as the only argument, for the desktop program,
// which reads them from its working directory.
#include "textures.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_textures OUTPUT_DIR\n");
        return 2;
    }
    return writeTextures(argv[1]) ? 0 : 1;
}
