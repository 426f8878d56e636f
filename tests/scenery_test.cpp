// The scenery: every branch and leaf of a tree (size, tessellation, place,
// angle, texture, colour), the bird's control net and the order and frames of
// its wing evaluations, and the two texture files with what each bad one gets.
#include "draw_recorder.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Patch { GLenum mode; Mat m; std::vector<std::array<float, 2>> uv; };
std::vector<Patch> patches;   // each glBegin with the (u, v) of the glEvalCoord2f calls after it

double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
// Its local z in the world, of unit length.
Vec axisOf(const Call& c) { const double n = std::hypot(c.m[8], c.m[9], c.m[10]); return {c.m[8] / n, c.m[9] / n, c.m[10] / n}; }

// v turned by `deg` degrees about the unit axis k, counter-clockwise seen from its tip.
Vec turned(const Vec& v, const Vec& k, double deg)
{
    const double c = std::cos(rad(deg)), s = std::sin(rad(deg)), d = dot(k, v) * (1 - c);
    return {v[0] * c + (k[1] * v[2] - k[2] * v[1]) * s + k[0] * d, v[1] * c + (k[2] * v[0] - k[0] * v[2]) * s + k[1] * d,
            v[2] * c + (k[0] * v[1] - k[1] * v[0]) * s + k[2] * d};
}

GLint boundTexture() { GLint name = -1; glGetIntegerv(GL_TEXTURE_BINDING_2D, &name); return name; }

}  // namespace

extern "C" {
void __real_glBegin(GLenum mode);
void __real_glEvalCoord2f(GLfloat u, GLfloat v);
void __wrap_glBegin(GLenum mode) { patches.push_back({mode, readMatrix(GL_MODELVIEW_MATRIX), {}}), __real_glBegin(mode); }
void __wrap_glEvalCoord2f(GLfloat u, GLfloat v) { patches.back().uv.push_back({u, v}), __real_glEvalCoord2f(u, v); }
}

// Depth first: trunk, three branches of three twigs, each twig with one leaf.
// Level k is 0.9^k as long and thick as the trunk, tapering to 0.9; a child
// starts at its parent's top, 30 degrees off its axis, siblings 120 apart.
TEST(Scenery, EveryBranchAndLeafOfATreeHasItsSizePlaceAngleTextureAndColour)
{
    openWindow();
    ASSERT_NE(texLeaves, texBark);
    const std::array<float, 4> barkColour{0.4f, 0.2f, 0, 0}, leafColour{0, 0.4f, 0, 0};
    glLoadIdentity();
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    const Mat view = readMatrix(GL_MODELVIEW_MATRIX);
    std::vector<Call> drawn = recordDuring([] { tree(3.0f, 0.0f); });
    expectStackAsFound(1, view, "after tree");
    EXPECT_EQ(boundTexture(), 0) << "after a tree, untextured drawing needs texture 0 bound";
    for (Call& c : drawn)
        c.m = rotation(-20, 1) * c.m;   // back to world coordinates
    ASSERT_EQ(drawn.size(), 22u);
    size_t next = 0;
    // Checks the branch at `level` drawn next, and everything that grows from it.
    std::function<void(int, const Call*)> branch = [&](int level, const Call* parent) {
        const std::string what = "primitive " + std::to_string(next) + " (level " + std::to_string(level) + ")";
        const Call& c = drawn[next++];
        const double base = 0.4 * std::pow(0.9, level), length = 2.0 * std::pow(0.9, level);
        EXPECT_TRUE(c.kind == Kind::Cylinder && c.grid == (std::array<int, 2>{5, 1}) && c.quadric == gluq &&
                    c.texture == static_cast<GLint>(texBark) && c.diffuse == barkColour) << what << ": not a 5 x 1 bark cylinder";
        expectNear(c.args, {base, 0.9 * base, length}, 1e-6, what);
        expectNear(c.at(), parent ? parent->end() : Vec{3, 0, 0}, 1e-5, what + ", base");
        const double tilt = parent ? dot(axisOf(c), axisOf(*parent)) : axisOf(c)[1];
        EXPECT_NEAR(tilt, parent ? std::cos(rad(30)) : 1.0, 1e-6) << what << ": 30 degrees off its parent, the trunk upright";
        if (level == 2) {
            const Call& leaf = drawn[next++];
            EXPECT_TRUE(leaf.kind == Kind::Sphere && leaf.grid == (std::array<int, 2>{5, 5}) && leaf.quadric == gluq &&
                        leaf.texture == static_cast<GLint>(texLeaves) && leaf.diffuse == leafColour) << what << ": not one 5 x 5 leaf";
            EXPECT_NEAR(leaf.args[0], 0.85 * 0.9 * length, 1e-6) << what;
            expectNear(leaf.at(), c.end(), 1e-5, what + ", leaf at the twig's top");
            return;
        }
        Vec first{};
        for (int i = 0; i < 3; i++) {
            const size_t childAt = next;
            branch(level + 1, &c);
            const Vec axis = axisOf(drawn[childAt]);
            first = i == 0 ? axis : first;
            expectNear(axis, turned(first, axisOf(c), 120.0 * i), 1e-6, what + ", child " + std::to_string(i));
        }
        if (level == 0) {
            EXPECT_TRUE(axisOf(drawn[1])[0] > 0.4 && std::fabs(axisOf(drawn[1])[2]) < 1e-6) << "the first branch leans toward +x";
        }
    };
    branch(0, nullptr);
    // The scenery's quadric gives texture coordinates: a leaf's vary over it.
    std::vector<GLfloat> b(20000);
    glFeedbackBuffer(static_cast<GLsizei>(b.size()), GL_3D_COLOR_TEXTURE, b.data());
    glRenderMode(GL_FEEDBACK);
    treeFractal(-1, 1.0f, 1.0f);
    const GLint used = glRenderMode(GL_RENDER);
    float lowS = 1, highS = 0;
    for (GLint n = 0; n + 11 < used; n += b[n] == GL_POLYGON_TOKEN ? 2 : 11)   // a vertex: x y z, rgba, strq
        lowS = std::min(lowS, b[n + 7]), highS = std::max(highS, b[n + 7]);
    EXPECT_TRUE(used > 0 && highS - lowS > 0.5f) << "leaf texture coordinates s from " << lowS << " to " << highS;
}

namespace {

// The net loaded for flap a against the table (i across the chord, j root to
// tip), in GL's own order, found by loading a net of known values after it.
void expectNet(double a)
{
    GLfloat got[48], probe[48], order[48];
    glGetMapfv(GL_MAP2_VERTEX_3, GL_COEFF, got);
    for (int n = 0; n < 48; n++)
        probe[n] = static_cast<GLfloat>(n);
    glMap2f(GL_MAP2_VERTEX_3, 0, 1, 3, 4, 0, 1, 12, 4, probe);
    glGetMapfv(GL_MAP2_VERTEX_3, GL_COEFF, order);
    const double x[4] = {0, 0.33, 0.66, 1}, y[4] = {0, 0.5 * a + 0.1, 0.2 * a, -0.5 * a}, z[4] = {1, 0.66, 0.33, 0};
    for (int m = 0; m < 16; m++) {
        const int i = static_cast<int>(order[3 * m]) % 12 / 3, j = static_cast<int>(order[3 * m]) / 12;
        expectNear(Vec{got[3 * m], got[3 * m + 1], got[3 * m + 2]}, {x[j], y[j], j == 3 ? 0 : z[i]}, 1e-6,
                   "flap " + std::to_string(a) + ", point " + std::to_string(i) + " " + std::to_string(j));
    }
}

}  // namespace

// Each wing is one GL_QUADS of 5 x 5 quads, v outer and u inner, corners in
// turn, over the flap's net; the second in the caller's frame mirrored in x.
TEST(Scenery, WingsAreTwentyFiveQuadsEachOverTheFlapsNetTheSecondMirrored)
{
    std::vector<std::array<float, 2>> grid;
    for (int r = 0; r < 5; r++)
        for (int k = 0; k < 5; k++)
            for (const auto& [du, dv] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}})
                grid.push_back({static_cast<float>(k + du) / 5.0f, static_cast<float>(r + dv) / 5.0f});
    const Mat mirror = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    openWindow();
    for (double a : {0.0, 0.5, 1.0}) {
        const std::string what = "flap " + std::to_string(a);
        glLoadIdentity();
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
        const Mat frame = readMatrix(GL_MODELVIEW_MATRIX);
        patches.clear();
        recordDuring([a] { bird(static_cast<float>(a)); });
        expectStackAsFound(1, frame, what + ", after bird");
        GLfloat colour[4];
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, colour);
        EXPECT_TRUE(colour[0] == 0 && colour[1] == 0 && colour[2] == 0) << what << ": the wings are black";
        ASSERT_EQ(patches.size(), 2u) << what;
        for (int w = 0; w < 2; w++) {
            EXPECT_EQ(patches[w].mode, static_cast<GLenum>(GL_QUADS)) << what;
            expectNear(patches[w].m, w == 0 ? frame : frame * mirror, 1e-9, what + ", wing " + std::to_string(w));
            EXPECT_TRUE(patches[w].uv == grid) << what << ", wing " << w << ": not the 5 x 5 grid in order";
        }
        // Over u and v from 0 to 1, cubic both ways.
        std::array<GLfloat, 4> domain{};
        std::array<GLint, 2> order{};
        glGetMapfv(GL_MAP2_VERTEX_3, GL_DOMAIN, domain.data());
        glGetMapiv(GL_MAP2_VERTEX_3, GL_ORDER, order.data());
        EXPECT_TRUE(domain == (std::array<GLfloat, 4>{0, 1, 0, 1}) && order == (std::array<GLint, 2>{4, 4})) << what;
        expectNet(a);
    }
}

namespace {

const size_t imageBytes = 256 * 256 * 3;   // 196,608
struct Case { const char* name; char leaves, bark; const char* messages; };   // file kinds as below
int openFiles() { return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})); }
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Bytes that change along rows and across them, different per seed, so
// swapped files and shifted bytes show up.
std::vector<unsigned char> pattern(size_t length, unsigned seed)
{
    std::vector<unsigned char> bytes(length);
    for (size_t n = 0; n < length; n++)
        bytes[n] = static_cast<unsigned char>(n * (2 * seed + 5) + n / 768 * seed + seed * 29);
    return bytes;
}

// Kinds g: good, l: 5000 bytes longer, s: a byte short, m: missing, d: a directory,
// f: a FIFO. A loaded texture holds the file's first bytes, filtered linearly.
struct TextureLoading : testing::TestWithParam<Case> {
    void SetUp() override
    {
        openWindow(640, 480, false);
        ASSERT_NE(mkdtemp(folder), nullptr);
        std::filesystem::current_path(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    static void create(const char* name, char kind, unsigned seed)
    {
        const auto bytes = pattern(imageBytes + (kind == 's' ? -1 : kind == 'l' ? 5000 : 0), seed);
        if (kind == 'g' || kind == 's' || kind == 'l')
            std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        ASSERT_EQ(kind == 'f' ? mkfifo(name, 0644) : kind == 'd' ? mkdir(name, 0755) : 0, 0) << name;
    }
    static void expectTexture(GLuint texture, char kind, unsigned seed, const char* what)
    {
        std::array<GLint, 4> got{};   // width, minifying filter, wrap s and t
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got[0]);
        for (int k = 1; k < 4; k++)
            glGetTexParameteriv(GL_TEXTURE_2D, std::array{GL_TEXTURE_MIN_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}[k - 1], &got[k]);
        std::vector<unsigned char> image(imageBytes);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
        if (kind == 'g' || kind == 'l')
            EXPECT_TRUE(got == (std::array<GLint, 4>{256, GL_LINEAR, GL_REPEAT, GL_REPEAT}) && image == pattern(imageBytes, seed))
                << what << ": not the file's image, repeating, filtered linearly";
        else
            EXPECT_EQ(got[0], 0) << what << " has an image";
    }
    char folder[32] = "/tmp/texture-loader-XXXXXX";
};

}  // namespace

// Each file in a scratch working folder; a FIFO must not block start-up.
TEST_P(TextureLoading, ReportsAndLoadsEachFileOnItsOwn)
{
    const Case& c = GetParam();
    create("leaves.rgb", c.leaves, 3);
    create("bark.rgb", c.bark, 11);
    std::ostringstream messages;
    std::streambuf* original = std::cerr.rdbuf(messages.rdbuf());
    std::signal(SIGALRM, [](int) { _exit(write(STDERR_FILENO, "initObjects blocked\n", 20) > 0 ? 3 : 4); });
    const int filesBefore = openFiles();
    alarm(10);
    initObjects();
    alarm(0);
    EXPECT_EQ(openFiles(), filesBefore) << "a texture file was left open";
    std::cerr.rdbuf(original);
    EXPECT_EQ(messages.str(), c.messages);
    const GLuint lastLoaded = c.bark == 'g' || c.bark == 'l' ? texBark : c.leaves == 'g' || c.leaves == 'l' ? texLeaves : 0;
    EXPECT_EQ(boundTexture(), static_cast<GLint>(lastLoaded)) << "the last upload stays bound";
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE) << "texels must be multiplied with the lit colour";
    ASSERT_NE(texLeaves, texBark);
    expectTexture(texLeaves, c.leaves, 3, "leaves");
    expectTexture(texBark, c.bark, 11, "bark");
}

INSTANTIATE_TEST_SUITE_P(Files, TextureLoading, testing::Values(
    Case{"ExactSizeFilesLoadSilently", 'g', 'g', ""}, Case{"LongerFileLoadsFromItsFirstBytes", 'l', 'g', ""},
    Case{"ShortLeafFileIsReportedAndGetsNoImage", 's', 'g', "Error reading leaves.rgb\n"},
    Case{"ShortBarkFileIsReportedAndGetsNoImage", 'g', 's', "Error reading bark.rgb\n"},
    Case{"MissingLeafFileIsReportedAndBarkStillLoads", 'm', 'g', "Error loading leaves.rgb\n"},
    Case{"BothMissingAreReportedLeavesFirst", 'm', 'm', "Error loading leaves.rgb\nError loading bark.rgb\n"},
    Case{"DirectoryNamedLeavesIsNotLoadable", 'd', 'g', "Error loading leaves.rgb\n"},
    Case{"FifoNamedLeavesIsReportedWithoutBlocking", 'f', 'g', "Error loading leaves.rgb\n"}));
