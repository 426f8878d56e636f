// The tree textures' generator: seeded, tileable value noise mixed into
// bright leaves and bark (raw 256x256 RGB), the same bytes on every platform,
// written as files. Linked into tools/make_textures and into the browser page
// (web/textures.cpp).
#include "textures.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int size = 256;   // texels per side

// Small deterministic generator (xorshift32), the same on every platform.
struct Random {
    uint32_t state;
    float next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state >> 8) / 16777216.0f;
    }
};

// Lattice of random values that wraps after `cells` cells in each direction.
struct Noise {
    int cellsX, cellsY;
    std::vector<float> lattice;

    Noise(int cx, int cy, Random& random) : cellsX(cx), cellsY(cy), lattice(cx * cy)
    {
        for (float& v : lattice)
            v = random.next();
    }

    float at(int i, int j) const
    {
        return lattice[(j % cellsY) * cellsX + (i % cellsX)];
    }

    // Smoothly interpolated value at texel (x, y), in [0, 1].
    float sample(int x, int y) const
    {
        const float fx = x * cellsX / float(size), fy = y * cellsY / float(size);
        const int i = int(fx), j = int(fy);
        const float sx = smooth(fx - i), sy = smooth(fy - j);
        const float top = at(i, j) + (at(i + 1, j) - at(i, j)) * sx;
        const float bottom = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * sx;
        return top + (bottom - top) * sy;
    }

    static float smooth(float t) { return t * t * (3.0f - 2.0f * t); }
};

unsigned char toByte(float v)
{
    if (v < 0.0f)
        v = 0.0f;
    if (v > 255.0f)
        v = 255.0f;
    return static_cast<unsigned char>(std::lround(v));
}

// One noise layer: lattice cells across and down, and its share of the mix.
struct Layer {
    int cellsX, cellsY;
    float weight;
};

// Mixes three noise layers into a brightness from base to base + span and
// tints it per channel (red, green, blue).
std::vector<unsigned char> makeImage(uint32_t seed, const Layer (&layers)[3], float base,
                                     float span, const float (&tint)[3])
{
    Random random{seed};
    std::vector<Noise> noise;
    for (const Layer& layer : layers)
        noise.emplace_back(layer.cellsX, layer.cellsY, random);
    std::vector<unsigned char> image(size * size * 3);
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float mix = 0.0f;
            for (int i = 0; i < 3; i++)
                mix += layers[i].weight * noise[i].sample(x, y);
            unsigned char* texel = &image[(y * size + x) * 3];
            for (int c = 0; c < 3; c++)
                texel[c] = toByte((base + span * mix) * tint[c]);
        }
    }
    return image;
}

// Vertical, fibrous streaks: many narrow columns across, few cells down.
std::vector<unsigned char> makeBark()
{
    return makeImage(0x5eed0b4au, {{64, 4, 0.55f}, {16, 2, 0.3f}, {8, 8, 0.15f}},
                     150.0f, 105.0f, {1.0f, 0.9f, 0.8f});
}

// Dappled foliage: round blotches of light and shade at three scales.
std::vector<unsigned char> makeLeaves()
{
    return makeImage(0x1eafu, {{8, 8, 0.45f}, {32, 32, 0.35f}, {64, 64, 0.2f}},
                     140.0f, 115.0f, {0.75f, 1.0f, 0.55f});
}

bool writeFile(const char* dir, const char* name, const std::vector<unsigned char>& bytes)
{
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%s", dir, name);
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write the texture file %s\n", path);
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

bool writeTexture(const char* dir, const char* name)
{
    const std::string file = name;
    if (file != "leaves.rgb" && file != "bark.rgb") {
        std::fprintf(stderr, "no texture is named %s\n", name);
        return false;
    }
    return writeFile(dir, name, file == "leaves.rgb" ? makeLeaves() : makeBark());
}

bool writeTextures(const char* dir)
{
    return writeTexture(dir, "leaves.rgb") && writeTexture(dir, "bark.rgb");
}
