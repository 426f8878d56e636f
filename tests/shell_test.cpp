// Application shell: the real `main` (GLUT's calls noted, its main loop
// returning at once), `reshape`, and what `display` draws where: camera,
// light, trees, bird, squirrel. (The arrow keys are animation_test's.)
#include "draw_recorder.h"

int squirrelProgramMain(int argc, char** argv);

namespace {

std::string startLog;   // GLUT's start-up calls, in order
struct Placed { Vec args; Mat m; };
std::vector<Placed> treesDrawn, birdsDrawn;
struct Perspective { std::array<double, 4> args; Mat m; };
std::vector<Perspective> perspectives;   // gluPerspective's arguments and the projection it was given

std::string name(const void* f)
{
    using Callbacks = std::pair<const void*, const char*>;
    for (const auto& [pointer, known] : {Callbacks{(void*)display, "display"}, {(void*)reshape, "reshape"},
                                         {(void*)timer, "timer"}, {(void*)special, "special"}, {(void*)specialUp, "specialUp"}})
        if (pointer == f)
            return known;
    return "unknown";
}

// By glutIgnoreKeyRepeat init must have run: joint 2 set, GL state and scenery ready.
std::string initDone() { return squirrel.part(2) == 60.0f && gluq && glIsEnabled(GL_LIGHTING) ? " after init" : " before init"; }

}  // namespace

// Each wrapped GLUT call notes itself, then does its work; the main loop returns at once.
#define NOTED(ret, call, params, args, text) \
    ret __real_##call params;                 \
    ret __wrap_##call params { startLog += std::string(text) + "; "; return __real_##call args; }
extern "C" {
NOTED(void, glutInitDisplayMode, (unsigned mode), (mode), "mode " + std::to_string(mode))
NOTED(void, glutInitWindowSize, (int w, int h), (w, h), "size " + std::to_string(w) + "x" + std::to_string(h))
NOTED(int, glutCreateWindow, (const char* title), (title), std::string("window ") + title)
NOTED(void, glutIgnoreKeyRepeat, (int ignore), (ignore), "ignoreKeyRepeat " + std::to_string(ignore) + initDone())
NOTED(void, glutDisplayFunc, (void (*f)()), (f), "display " + name((void*)f))
NOTED(void, glutReshapeFunc, (void (*f)(int, int)), (f), "reshape " + name((void*)f))
NOTED(void, glutTimerFunc, (unsigned ms, void (*f)(int), int v), (ms, f, v),
      "timer " + std::to_string(ms) + " " + name((void*)f) + " " + std::to_string(v))
NOTED(void, glutSpecialFunc, (void (*f)(int, int, int)), (f), "special " + name((void*)f))
NOTED(void, glutSpecialUpFunc, (void (*f)(int, int, int)), (f), "specialUp " + name((void*)f))
void __wrap_glutMainLoop() { startLog += "mainLoop; "; }
void __real_gluPerspective(double fovy, double aspect, double zNear, double zFar);
void __wrap_gluPerspective(double fovy, double aspect, double zNear, double zFar)
{
    perspectives.push_back({{fovy, aspect, zNear, zFar}, readMatrix(GL_PROJECTION_MATRIX)});
    __real_gluPerspective(fovy, aspect, zNear, zFar);
}
void __real__Z4treeff(float x, float z);
void __real__Z4birdf(float flapAmount);
void __wrap__Z4treeff(float x, float z) { treesDrawn.push_back({{x, z, 0}, readMatrix(GL_MODELVIEW_MATRIX)}), __real__Z4treeff(x, z); }
void __wrap__Z4birdf(float f) { birdsDrawn.push_back({{f, 0, 0}, readMatrix(GL_MODELVIEW_MATRIX)}), __real__Z4birdf(f); }
}

TEST(Startup, MainOpensTheWindowRunsInitThenRegistersTheCallbacksInOrder)
{
    char title[] = "/tmp/some dir/squirrel.bin", option[] = "-gldebug";
    char* argv[] = {title, option, nullptr};
    EXPECT_EQ(squirrelProgramMain(2, argv), 0);
    EXPECT_EQ(startLog, "mode 18; size 640x480; window /tmp/some dir/squirrel.bin; ignoreKeyRepeat 1 after init; "
                        "display display; reshape reshape; timer 0 timer 0; special special; "
                        "specialUp specialUp; mainLoop; ");
    EXPECT_TRUE(glutGet(GLUT_WINDOW_WIDTH) == 640 && glutGet(GLUT_WINDOW_HEIGHT) == 480 && glutGet(GLUT_WINDOW_RGBA) &&
                glutGet(GLUT_WINDOW_DOUBLEBUFFER) && glutGet(GLUT_WINDOW_DEPTH_SIZE) > 0)
        << "not a 640 x 480 RGB window, double-buffered, with a depth buffer";
    GLint shading = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    for (GLenum cap : {GL_DEPTH_TEST, GL_NORMALIZE, GL_MAP2_VERTEX_3, GL_LIGHTING, GL_LIGHT0, GL_TEXTURE_2D})
        EXPECT_TRUE(glIsEnabled(cap) && shading == GL_SMOOTH) << "capability " << cap << " or smooth shading";
}

// The viewport, and gluPerspective(60, w / h in double, the float 0.01 widened,
// 100) on a fresh projection; the model-view current after. Only h is guarded.
TEST(Reshape, SetsViewportAndSixtyDegreePerspectiveGuardingOnlyTheHeight)
{
    openWindow();
    for (const auto& [w, h, vh] : {std::array{640, 480, 480}, {300, 900, 900}, {640, 0, 1}, {0, 480, 480}}) {
        glMatrixMode(GL_PROJECTION);
        glTranslatef(3.0f, 1.0f, -2.0f);
        perspectives.clear();
        reshape(w, h);
        std::array<GLint, 5> got{};
        glGetIntegerv(GL_VIEWPORT, got.data());
        glGetIntegerv(GL_MATRIX_MODE, &got[4]);
        EXPECT_EQ(got, (std::array<GLint, 5>{0, 0, w, vh, GL_MODELVIEW})) << w << "x" << h;
        ASSERT_EQ(perspectives.size(), 1u) << w << "x" << h;
        EXPECT_TRUE(perspectives[0].args == (std::array<double, 4>{60, double(w) / vh, double(0.01f), 100}) &&
                    perspectives[0].m == translation({0, 0, 0})) << w << "x" << h << ": not these on a fresh projection matrix";
    }
}

// A frame of a moved scene, with the squirrel raised (the camera must still
// look level) and a negative wing phase (the start-up frame is end_to_end's),
// handed a modelview that display must replace, and restore.
TEST(Display, FrameLooksLevelAtTheSquirrelAndDrawsTheWholeScenePlacedAndTurned)
{
    const Vec eye{1, 2.75, 6}, target{2, 2.75, -3}, at{2, 1.5, -3}, turn{10, 30, -20}, birdAt{3, 8, -4};
    const double treeTable[11][2] = {{3, 0}, {10, 2}, {34, 6}, {32, 1}, {9, 30}, {3, 20},
                                     {2, 10}, {30, 24}, {15, 15}, {12, 10}, {18, 26}};
    openWindow();
    position[0] = 1.0f, position[2] = 6.0f, spos[0] = 2.0f, spos[1] = 1.5f, spos[2] = -3.0f;
    srot[0] = 10.0f, srot[1] = 30.0f, srot[2] = -20.0f, bpos[0] = 3.0f, bpos[2] = -4.0f, brot = 40.0f, flap = -0.5f;
    glPushMatrix();
    glRotatef(25.0f, 1.0f, 1.0f, 0.0f);
    const Mat before = readMatrix(GL_MODELVIEW_MATRIX);
    const std::vector<Call> frame = recordDuring(display);
    expectStackAsFound(2, before, "after display");
    glPopMatrix();

    // The camera, read where the first tree is drawn: the eye goes to the
    // origin, the target straight ahead on -z, the point above the eye up.
    ASSERT_TRUE(treesDrawn.size() == 11 && birdsDrawn.size() == 1);
    const Mat view = treesDrawn[0].m;
    expectNear(apply(view, eye), Vec{0, 0, 0}, 1e-4, "eye");
    expectNear(apply(view, target), {0, 0, -std::hypot(target[0] - eye[0], target[2] - eye[2])}, 1e-4, "target");
    expectNear(apply(view, {eye[0], eye[1] + 1, eye[2]}), {0, 1, 0}, 1e-4, "up");
    for (int i = 0; i < 11; i++) {
        EXPECT_EQ(treesDrawn[i].args, (Vec{treeTable[i][0], treeTable[i][1], 0})) << "tree " << i;
        expectNear(treesDrawn[i].m, view, 1e-6, "tree " + std::to_string(i));
    }
    // The light is directional from (1, 1, 1) in the world: only the view's turn applies.
    Mat viewTurn = view;
    viewTurn[12] = viewTurn[13] = viewTurn[14] = 0;
    GLfloat light[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    expectNear(Vec{light[0], light[1], light[2]}, apply(viewTurn, {10, 10, 10}), 1e-4, "light");
    EXPECT_EQ(light[3], 0.0f);
    EXPECT_EQ(birdsDrawn[0].args[0], 0.5) << "the bird gets the absolute flap";
    expectNear(birdsDrawn[0].m, view * translation(birdAt) * rotation(40, 1), 1e-5, "bird");
    // 11 trees of 22 primitives on the scenery's quadric; the squirrel's 36 on its
    // own, untextured, the haunch first, 1.2 up its model frame (turned -90 about x).
    std::vector<Call> squirrelParts;
    for (const Call& c : frame)
        if (c.quadric != gluq)
            squirrelParts.push_back(c);
    EXPECT_EQ(frame.size() - squirrelParts.size(), 11u * 22);
    ASSERT_EQ(squirrelParts.size(), 36u);
    for (const Call& c : squirrelParts)
        EXPECT_EQ(c.texture, 0) << "a squirrel primitive is textured";
    const Mat turned = rotation(turn[0], 0) * rotation(turn[1], 1) * rotation(turn[2], 2);
    expectNear(squirrelParts[0].m, view * translation(at) * turned * rotation(-90, 0) * translation({0, 0, 1.2}), 1e-5, "haunch");
}
