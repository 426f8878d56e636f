// The page's texture files: the generator (tools/textures.cpp) writes
// "leaves.rgb" or "bark.rgb" into the page's in-memory file system when the
// page asks, each in a task of its own before the program's main runs
// (web/pre.js), so the page downloads no texture and the program reads them
// as it does on the desktop.
#include <emscripten.h>

#include "textures.h"

extern "C" EMSCRIPTEN_KEEPALIVE void writeTextureFile(int bark)
{
    writeTexture(".", bark ? "bark.rgb" : "leaves.rgb");
}
