// The tree textures, generated: writeTextures(DIR) writes "leaves.rgb" and
// "bark.rgb" (raw 256x256 RGB, no header) into DIR, the same bytes on every
// call and platform; false (with a message on stderr) when one cannot be
// written. writeTexture(DIR, NAME) writes the one of them named NAME.
#pragma once

bool writeTextures(const char* dir);
bool writeTexture(const char* dir, const char* name);
