// The page's texture files: the generator (tools/textures.cpp) writes
// "leaves.rgb" and "bark.rgb" into the page's in-memory file system before
// the program's main runs, so the page downloads no texture and the program
// reads them as it does on the desktop.
#include "textures.h"

namespace {

// Static constructors run once the file system is set up and before main;
// index.html?without=NAME removes a file after them (web/pre.js).
struct TextureFiles {
    TextureFiles() { writeTextures("."); }
} textureFiles;

}  // namespace
