// Scenery: the tree textures and quadric, the fractal trees and the bird.
#ifndef OBJECTS_H
#define OBJECTS_H

// Creates the scenery quadric, enables texturing and loads "leaves.rgb" and
// "bark.rgb" from the working directory. Needs a current GL context.
void initObjects();

// One whole tree with its trunk base at (x, 0, z).
void tree(float x, float z);

// Both Bezier-patch wings about the current origin; flapAmount in [0, 1].
void bird(float flapAmount);

#endif
