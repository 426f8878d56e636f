// Application shell: the GL state init leaves, reshape's viewport and
// projection, the arrow-key flags, and frames of display: camera, light,
// placement of trees, bird and squirrel, primitive counts, texture state and
// the matrix stack. tree() and bird() are wrapped by their mangled names.
#include "draw_recorder.h"

extern "C" {
void __real__Z4treeff(float x, float z);
void __real__Z4birdf(float flapAmount);
void __wrap__Z4treeff(float x, float z) { record(Kind::Tree, nullptr, {x, z, 0}); __real__Z4treeff(x, z); }
void __wrap__Z4birdf(float f) { record(Kind::Bird, nullptr, {f, 0, 0}); __real__Z4birdf(f); }
}

namespace {

std::vector<Call> only(Kind kind, const std::vector<Call>& frame)
{
    std::vector<Call> picked;
    for (const Call& c : frame)
        if (c.kind == kind)
            picked.push_back(c);
    return picked;
}

// A level camera at `eye` facing `target`: the eye goes to the origin, the
// target straight ahead on -z and the point above the eye straight up.
void expectCamera(const Mat& view, const Vec& eye, const Vec& target)
{
    const double distance = std::hypot(target[0] - eye[0], target[2] - eye[2]);
    expectNear(apply(view, eye), Vec{0, 0, 0}, 1e-4, "eye");
    expectNear(apply(view, target), {0, 0, -distance}, 1e-4, "target");
    expectNear(apply(view, {eye[0], eye[1] + 1, eye[2]}), {0, 1, 0}, 1e-4, "above the eye");
}

}  // namespace

TEST(Init, SetsCapabilitiesBlueBackgroundLightZeroAndJointTwo)
{
    openWindow();
    for (GLenum cap : {GL_DEPTH_TEST, GL_NORMALIZE, GL_MAP2_VERTEX_3, GL_LIGHTING, GL_LIGHT0, GL_TEXTURE_2D})
        EXPECT_TRUE(glIsEnabled(cap)) << "capability " << cap;
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    std::array<float, 4> got{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, got.data());
    EXPECT_EQ(got, (std::array<float, 4>{0, 0, 1, 1})) << "clear colour";
    const std::pair<GLenum, std::array<float, 4>> light[] = {
        {GL_DIFFUSE, {1, 1, 1, 0}}, {GL_AMBIENT, {0.3f, 0.3f, 0.3f, 0}}, {GL_SPECULAR, {1, 1, 1, 1}}};
    for (const auto& [param, want] : light) {
        glGetLightfv(GL_LIGHT0, param, got.data());
        EXPECT_EQ(got, want) << "light 0 parameter " << param;
    }
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(squirrel.part(i), i == 2 ? 60.0f : 0.0f) << "joint " << i;
}

// Width 0 is not guarded: GLU either declines an aspect of 0 (leaving the
// identity) or makes an infinite x scale, where a guard would give a finite one.
TEST(Reshape, SetsViewportAndSixtyDegreePerspectiveGuardingOnlyTheHeight)
{
    openWindow();
    const int sizes[][4] = {{640, 480, 640, 480}, {300, 900, 300, 900}, {640, 0, 640, 1}, {0, 480, 0, 480}};
    for (const auto& [w, h, vw, vh] : sizes) {
        const std::string what = std::to_string(w) + "x" + std::to_string(h);
        glMatrixMode(GL_PROJECTION);
        glTranslatef(3.0f, 1.0f, -2.0f);   // junk that reshape must replace
        reshape(w, h);
        std::array<GLint, 4> viewport{};
        glGetIntegerv(GL_VIEWPORT, viewport.data());
        EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, vw, vh})) << what;
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW) << what;
        // gluPerspective(60, w / h, near, far) with near the float 0.01 and far 100.
        const Mat proj = readMatrix(GL_PROJECTION_MATRIX);
        const double f = 1 / std::tan(rad(30)), zn = static_cast<double>(0.01f), zf = 100;
        const Mat want = {f * vh / vw, 0, 0, 0, 0, f, 0, 0, 0, 0, (zf + zn) / (zn - zf), -1,
                          0, 0, 2 * zf * zn / (zn - zf), 0};
        if (w == 0)
            EXPECT_TRUE(!std::isfinite(proj[0]) || proj == translation(0, 0, 0)) << "x scale " << proj[0];
        else
            expectNear(proj, want, 1e-6, what);
    }
}

TEST(ArrowKeys, EachArrowSetsAndClearsOnlyItsOwnFlagAndOtherKeysDoNothing)
{
    auto expectFlags = [](const char* flags, const std::string& when) {   // up, right, down, left
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(arrows[i], flags[i] == '1') << when << ", flag " << i;
    };
    const int up = GLUT_KEY_UP, right = GLUT_KEY_RIGHT, down = GLUT_KEY_DOWN, left = GLUT_KEY_LEFT;
    const int others[] = {GLUT_KEY_F1, GLUT_KEY_F12, GLUT_KEY_PAGE_UP, GLUT_KEY_HOME, GLUT_KEY_INSERT, 0, -1};
    for (int code : others)
        special(code, 0, 0);
    expectFlags("0000", "other keys pressed");
    const struct { bool press; int key; const char* flags; } script[] = {
        {true, up, "1000"}, {false, up, "0000"}, {true, right, "0100"}, {false, right, "0000"},
        {true, down, "0010"}, {false, down, "0000"}, {true, left, "0001"}, {false, left, "0000"},
        {false, up, "0000"}, {true, up, "1000"}, {true, up, "1000"}, {true, down, "1010"},
        {false, down, "1000"}, {true, left, "1001"}, {true, right, "1101"}, {true, down, "1111"}};
    for (const auto& step : script) {
        (step.press ? special : specialUp)(step.key, 17, 300);
        expectFlags(step.flags, (step.press ? "press " : "release ") + std::to_string(step.key));
    }
    for (int code : others)
        specialUp(code, 0, 0);
    expectFlags("1111", "other keys released");
}

// Frame 1 shows the start-up scene; frame 2 a moved one, with the squirrel
// raised (the camera must still look level) and a negative wing phase. Each
// frame is handed a modelview it must replace, and restore.
TEST(Display, FramesLookLevelAtTheSquirrelAndDrawTheWholeScenePlacedAndTurned)
{
    const struct { Vec eye, target, at, turn, bird; double heading, flap; } frames[] = {
        {{0, 2.75, 5}, {0, 2.75, 0}, {0, 0, 0}, {0, 0, 0}, {0, 8, 0}, 0, 0},
        {{1, 2.75, 6}, {2, 2.75, -3}, {2, 1.5, -3}, {10, 30, -20}, {3, 8, -4}, 40, 0.5}};
    const double treeTable[11][2] = {{3, 0}, {10, 2}, {34, 6}, {32, 1}, {9, 30}, {3, 20},
                                     {2, 10}, {30, 24}, {15, 15}, {12, 10}, {18, 26}};
    openWindow();
    for (int n = 0; n < 2; n++) {
        const auto& want = frames[n];
        const std::string what = "frame " + std::to_string(n + 1);
        if (n == 1) {
            position[0] = 1.0f, position[2] = 6.0f, spos[0] = 2.0f, spos[1] = 1.5f, spos[2] = -3.0f;
            srot[0] = 10.0f, srot[1] = 30.0f, srot[2] = -20.0f;
            bpos[0] = 3.0f, bpos[2] = -4.0f, brot = 40.0f, flap = -0.5f;
        }
        glPushMatrix();
        glRotatef(25.0f, 1.0f, 1.0f, 0.0f);
        const Mat before = readMatrix(GL_MODELVIEW_MATRIX);
        const std::vector<Call> frame = recordDuring(display);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 2) << what;
        EXPECT_EQ(readMatrix(GL_MODELVIEW_MATRIX), before) << what;
        glPopMatrix();

        // 11 trees of 13 branches and 9 leaves, and the squirrel.
        EXPECT_EQ(only(Kind::Cylinder, frame).size(), 13u * 11 + 13) << what;
        EXPECT_EQ(only(Kind::Sphere, frame).size(), 9u * 11 + 22) << what;
        EXPECT_EQ(only(Kind::Disk, frame).size(), 1u) << what;
        const std::vector<Call> trees = only(Kind::Tree, frame), bird = only(Kind::Bird, frame);
        ASSERT_EQ(trees.size(), 11u) << what;
        ASSERT_EQ(bird.size(), 1u) << what;
        const Mat view = trees[0].m;   // nothing is placed before the trees
        expectCamera(view, want.eye, want.target);
        for (int i = 0; i < 11; i++) {
            EXPECT_EQ(trees[i].args, (Vec{treeTable[i][0], treeTable[i][1], 0})) << what << ", tree " << i;
            expectNear(trees[i].m, view, 1e-6, what + ", tree " + std::to_string(i));
        }
        // The light is directional from (1, 1, 1) in the world: only the view's turn applies.
        Mat turn = view;
        turn[12] = turn[13] = turn[14] = 0;
        GLfloat light[4] = {};
        glGetLightfv(GL_LIGHT0, GL_POSITION, light);
        expectNear(Vec{light[0], light[1], light[2]}, apply(turn, {10, 10, 10}), 1e-4, what + ", light");
        EXPECT_EQ(light[3], 0.0f) << what;

        EXPECT_EQ(bird[0].args[0], want.flap) << what << ": the bird gets the absolute flap";
        const Mat birdPlace = view * translation(want.bird) * rotation(want.heading, 1);
        expectNear(bird[0].m, birdPlace, 1e-5, what + ", bird");
        // The squirrel (not drawn with the scenery's quadric) is untextured; its
        // first primitive is the haunch, 1.2 up its model frame (turned -90 about x).
        std::vector<Call> squirrelPrims;
        for (const Call& c : frame)
            if (c.quadric != nullptr && c.quadric != gluq)
                squirrelPrims.push_back(c);
        ASSERT_EQ(squirrelPrims.size(), 36u) << what;
        for (const Call& c : squirrelPrims)
            EXPECT_EQ(c.texture, 0) << what << ": a squirrel primitive is textured";
        const Mat turned = rotation(want.turn[0], 0) * rotation(want.turn[1], 1) * rotation(want.turn[2], 2);
        const Mat placed = view * translation(want.at) * turned * rotation(-90, 0) * translation(0, 0, 1.2);
        expectNear(squirrelPrims[0].m, placed, 1e-5, what + ", haunch");
    }
}
