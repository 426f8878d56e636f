// The scenery: what treeFractal and tree draw with the scenery quadric
// (counts, sizes, placement, textures) against positions computed here; the
// bird's control net and the wing surface GL's evaluator makes of it; and
// that both return with the matrix stack as they found it.
#include "draw_recorder.h"

#include <algorithm>

namespace {

std::vector<std::pair<size_t, GLuint>> binds;   // texture binds, each with the primitive count before it

class Scenery : public testing::Test {
protected:
    void SetUp() override
    {
        openWindow();
        glLoadIdentity();
        binds.clear();
    }
};

size_t count(const std::vector<Call>& drawn, Kind kind)
{
    return std::count_if(drawn.begin(), drawn.end(),
                         [&](const Call& c) { return c.kind == kind && c.quadric == gluq; });
}

// treeFractal(depth, radius, length) for a few depths, and what it must
// draw. Level k is 0.9^k as long and thick as the first branch and tapers to
// 0.9 of its base. The first leaf ends the chain of first children, each
// turned 30 degrees further toward +x: it sits at the sum over k = 0..depth
// of length 0.9^k (sin 30k, 0, cos 30k), radius 0.85 times its call's length.
TEST_F(Scenery, BranchesAndLeavesOfEachDepthSitWhereTheBranchingPutsThem)
{
    const struct {
        int depth;
        float radius, length;
        size_t cylinders, spheres;
    } shapes[] = {{-3, 0.7f, 2.0f, 0, 1}, {-1, 0.7f, 2.0f, 0, 1}, {0, 0.5f, 3.0f, 1, 1},
                  {1, 0.5f, 1.0f, 4, 3}, {2, 0.4f, 2.0f, 13, 9}};
    for (const auto& s : shapes) {
        SCOPED_TRACE("depth " + std::to_string(s.depth));
        const std::vector<Call> drawn = recordDuring([&] { treeFractal(s.depth, s.radius, s.length); });
        EXPECT_EQ(count(drawn, Kind::Cylinder), s.cylinders);
        EXPECT_EQ(count(drawn, Kind::Sphere), s.spheres);
        ASSERT_EQ(drawn.size(), s.cylinders + s.spheres);
        Vec leaf{0, 0, 0};
        for (int k = 0; k <= s.depth; k++)
            leaf = {leaf[0] + s.length * std::pow(0.9, k) * std::sin(rad(30 * k)), 0,
                    leaf[2] + s.length * std::pow(0.9, k) * std::cos(rad(30 * k))};
        const Call& leafCall = *std::find_if(drawn.begin(), drawn.end(),
                                             [](const Call& c) { return c.kind == Kind::Sphere; });
        expectNear(leafCall.at(), leaf, 1e-5, "first leaf centre");
        EXPECT_NEAR(leafCall.args[0], 0.85 * s.length * std::pow(0.9, std::max(s.depth + 1, 0)), 1e-5) << "leaf radius";
        if (s.depth < 0)
            continue;
        // The first cylinder drawn is the trunk, the one before the last leaf a twig at level `depth`.
        for (const auto& [c, k] : {std::pair{drawn.front(), 0}, {drawn[drawn.size() - 2], s.depth}}) {
            const double base = s.radius * std::pow(0.9, k);
            expectNear(c.args, {base, 0.9 * base, s.length * std::pow(0.9, k)}, 1e-5, "level " + std::to_string(k));
        }
    }
}

TEST_F(Scenery, TreeOfRowZeroRisesFromThreeZeroZeroToTwoAndLeansItsFirstBranchTowardPlusX)
{
    const std::vector<Call> drawn = recordDuring([] { tree(3.0f, 0.0f); });
    ASSERT_EQ(drawn.size(), 22u);
    expectNear(drawn[0].at(), {3, 0, 0}, 1e-5, "trunk base");
    expectNear(drawn[0].end(), {3, 2, 0}, 1e-5, "trunk top");
    expectNear(drawn[1].at(1), {3 + std::sin(rad(30)), 2 + std::cos(rad(30)), 0}, 1e-5, "first branch, one unit up");
}

TEST_F(Scenery, EachBranchAndLeafHasItsTextureAndColourAndZeroIsBoundRightAfter)
{
    ASSERT_NE(texLeaves, texBark);
    const std::array<float, 4> barkColour{0.4f, 0.2f, 0, 0}, leafColour{0, 0.4f, 0, 0};
    const std::vector<Call> drawn = recordDuring([] { tree(0.0f, 0.0f); });
    for (size_t p = 0; p < drawn.size(); p++) {
        const bool leaf = drawn[p].kind == Kind::Sphere;
        EXPECT_EQ(drawn[p].texture, static_cast<GLint>(leaf ? texLeaves : texBark)) << "primitive " << p;
        EXPECT_EQ(drawn[p].diffuse, leaf ? leafColour : barkColour) << "primitive " << p;
        const auto next = std::find_if(binds.begin(), binds.end(), [&](const auto& b) { return b.first == p + 1; });
        EXPECT_TRUE(next != binds.end() && next->second == 0) << "texture 0 not bound right after primitive " << p;
    }
}

TEST_F(Scenery, TreeAndBirdLeaveTheModelviewMatrixAndStackAsFound)
{
    glRotatef(37.0f, 0.3f, 1.0f, -0.2f);
    glPushMatrix();   // one level to spare, so that an extra pop shows too
    for (const char* what : {"tree", "bird"}) {
        GLint depth = 0, depthAfter = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        const Mat before = readMatrix(GL_MODELVIEW_MATRIX);
        what[0] == 't' ? tree(3.0f, 0.0f) : bird(0.8f);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        EXPECT_EQ(depthAfter, depth) << what;
        EXPECT_EQ(readMatrix(GL_MODELVIEW_MATRIX), before) << what;
    }
}

// The loaded evaluator net against the table of control points for flap a,
// point (i across the chord, j root to tip). GL returns the points in an
// order of its own, found by loading a net of known values afterwards.
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
                   "a " + std::to_string(a) + ", point " + std::to_string(i) + " " + std::to_string(j));
    }
}

TEST_F(Scenery, EachFrameDrawsTheStandOf143BranchesAnd99LeavesAndTheBirdWithTheAbsoluteFlap)
{
    flap = -0.5f;
    const std::vector<Call> drawn = recordDuring(display);
    EXPECT_EQ(count(drawn, Kind::Cylinder), 143u);
    EXPECT_EQ(count(drawn, Kind::Sphere), 99u);
    expectNet(0.5);
}

// The net bird loads for flap 0 and 1; both wings, then surface points by
// (u, v), read back through feedback with a +-2 orthographic box on a
// 400 x 400 viewport: the surface runs from the root chord, 1 unit long, to a
// single tip at x = 1, and the second wing mirrors the first across x = 0.
TEST_F(Scenery, WingNetAndSurfaceFollowTheFlapAndTheSecondWingMirrorsTheFirst)
{
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    for (double a : {0.0, 1.0}) {
        const Vec tip{1, -0.5 * a, 0};
        const std::vector<std::pair<std::array<float, 2>, Vec>> points = {
            {{0, 0}, {0, 0, 1}}, {{1, 0}, {0, 0, 0}}, {{0, 1}, tip}, {{0.5f, 1}, tip}, {{1, 1}, tip},
            {{0.5f, 0.5f}, {0.4963, a == 0 ? 0.0375 : 0.2375, 0.4342}}};
        std::vector<GLfloat> b(20000);
        glFeedbackBuffer(static_cast<GLsizei>(b.size()), GL_3D, b.data());
        glRenderMode(GL_FEEDBACK);
        bird(static_cast<float>(a));
        glBegin(GL_POINTS);
        for (const auto& p : points)
            glEvalCoord2f(p.first[0], p.first[1]);
        glEnd();
        std::vector<Vec> v;
        for (GLint n = 0, used = glRenderMode(GL_RENDER); n < used;) {
            const GLint count = b[n++] == GL_POLYGON_TOKEN ? static_cast<GLint>(b[n++]) : 1;   // else a point
            for (GLint k = 0; k < count; k++, n += 3)
                v.push_back({b[n] / 100.0 - 2, b[n + 1] / 100.0 - 2, 2 - 4.0 * b[n + 2]});
        }
        expectNet(a);
        const size_t half = (v.size() - points.size()) / 2;
        ASSERT_TRUE(v.size() > points.size() && v.size() == 2 * half + points.size()) << "a " << a;
        for (size_t n = 0; n < points.size(); n++)
            expectNear(v[2 * half + n], points[n].second, 2e-4, "point " + std::to_string(n) + " at a " + std::to_string(a));
        for (size_t n = 0; n < half; n++) {
            expectNear(v[half + n], {-v[n][0], v[n][1], v[n][2]}, 1e-4, "mirror of vertex " + std::to_string(n));
            EXPECT_GE(v[n][0], -1e-4) << "the first wing reaches toward +x";
        }
    }
}

}  // namespace

extern "C" void __real_glBindTexture(GLenum target, GLuint name);
extern "C" void __wrap_glBindTexture(GLenum target, GLuint name)
{
    if (recording)
        binds.push_back({calls.size(), name});
    __real_glBindTexture(target, name);
}
