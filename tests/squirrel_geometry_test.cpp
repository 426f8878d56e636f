// Squirrel model: a new squirrel's joint record, and what Squirrel::draw emits
// for a set of poses: primitives, sizes, materials, positions in the caller's
// frame (y up, the squirrel facing -z, its right side +x) and the matrix stack.
#include <sstream>

#include "draw_recorder.h"

namespace {

// Drawing order: haunch, right hind leg, left hind leg, tail, body, right and
// left front legs, head top, ears, eyes. A leg is upper joint, upper segment,
// middle joint, lower segment, foot; tail segment k is joint sphere 2k and
// cylinder 2k + 1, then comes the tip.
enum { Haunch, RHind, LHind = 6, Tail = 11, Tip = 19, Body, RFront, LFront = 26 };
enum { Head = 31, REar, LEar, REye, LEye, Count };
enum { Mid = 2, Foot = 4 };   // within a leg
const double kHipY = 1.2 - 0.35361, kTailY = 1.2 - 0.3536;

using Joints = std::vector<std::pair<int, float>>;

// Draws the squirrel with `joints` set and all others 0, in a caller's frame
// moved by (1, 2, 3) that draw must leave as it found it; positions are
// returned in the caller's axes.
std::vector<Call> drawPose(const Joints& joints)
{
    openWindow();
    for (int i = 0; i < 13; i++)
        squirrel.part(i) = 0.0f;
    for (const auto& [i, angle] : joints)
        squirrel.part(i) = angle;
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(1.0f, 2.0f, 3.0f);
    std::vector<Call> p = recordDuring([] { squirrel.draw(); });
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2) << "modelview stack depth after draw";
    EXPECT_EQ(readMatrix(GL_MODELVIEW_MATRIX), translation(1, 2, 3)) << "modelview after draw";
    glPopMatrix();
    EXPECT_EQ(p.size(), static_cast<size_t>(Count));
    p.resize(Count);
    for (Call& c : p)
        c.m = translation(-1, -2, -3) * c.m;
    return p;
}

}  // namespace

TEST(SquirrelRecord, NewSquirrelHasAllJointsZeroAndItsOwnQuadric)
{
    Squirrel fresh;
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(fresh.part(i), 0.0f) << "joint " << i;
    const std::vector<Call> global = drawPose({});
    const std::vector<Call> own = recordDuring([&] { fresh.draw(); });
    ASSERT_EQ(own.size(), global.size());
    EXPECT_NE(own[0].quadric, nullptr);
    EXPECT_NE(own[0].quadric, global[0].quadric);
    EXPECT_NE(global[0].quadric, gluq) << "the squirrel must not share the scenery's quadric";
}

TEST(SquirrelDrawing, EmitsTwentyTwoSpheresThirteenCylindersOneDiskInFurWithBlackEyes)
{
    openWindow();
    const GLfloat green[] = {0.0f, 0.8f, 0.0f, 0.5f};   // draw must set its own material
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, green);
    const std::vector<Call> p = drawPose({});
    const int argCount[] = {1, 3, 2}, stacks[] = {16, 2, 1};
    const std::array<float, 4> fur = {0.3f, 0.1f, 0, 1}, black = {0, 0, 0, 0};
    std::ostringstream got;   // kind letter and size arguments of each primitive
    for (int i = 0; i < Count; i++) {
        const int k = static_cast<int>(p[i].kind);
        got << "SCD"[k];
        for (int a = 0; a < argCount[k]; a++)
            got << (a ? "," : "") << p[i].args[a];
        got << ' ';
        EXPECT_EQ(p[i].grid, (std::array<int, 2>{16, stacks[k]})) << "primitive " << i;
        EXPECT_EQ(p[i].quadric, p[0].quadric) << "primitive " << i;
        EXPECT_EQ(p[i].diffuse, i >= REye ? black : fur) << "primitive " << i;
    }
    const std::string leg = "S0.1 C0.1,0.1,0.3 S0.1 C0.1,0.1,0.4 S0.2 ";
    const std::string tail = "S0.1 C0.1,0.3,0.7 S0.3 C0.3,0.4,0.7 S0.4 C0.4,0.4,1 S0.4 C0.4,0.3,0.7 S0.3 ";
    const std::string head = "D0,0.5 S0.2 S0.2 S0.1 S0.1 ";
    EXPECT_EQ(got.str(), "S0.5 " + leg + leg + tail + "C0.5,0.5,1 " + leg + leg + head);
}

TEST(SquirrelDrawing, PosesPlaceBodyHeadAndLegsWhereTheirJointsSay)
{
    struct Spot { int prim; Vec want; bool farEnd = false; };
    const double elbowX = 0.5 + 0.3 * std::cos(rad(60)), elbowZ = -0.3 * std::sin(rad(60));
    const double kneeY = kHipY - 0.3 * std::cos(rad(30)), kneeZ = -0.3 * std::sin(rad(30));
    const double x20 = 0.3536 + 0.7 * std::sin(rad(20)), y20 = kHipY - 0.7 * std::cos(rad(20));
    const std::vector<Spot> rest = {
        {Haunch, {0, 1.2, 0}}, {Body, {0, 1.2, 0}}, {Body, {0, 2.2, 0}, true}, {Head, {0, 2.2, 0}},
        {REar, {0.3, 2.2, 0}}, {LEar, {-0.3, 2.2, 0}}, {REye, {0.1, 1.9, -0.4}}, {LEye, {-0.1, 1.9, -0.4}},
        {RHind, {0.3536, kHipY, 0}}, {LHind, {-0.3536, kHipY, 0}}, {RHind + Foot, {0.3536, 0.1464, 0}},
        {LHind + Foot, {-0.3536, 0.1464, 0}}, {RFront, {0.5, 1.7, 0}}, {LFront, {-0.5, 1.7, 0}},
        {RFront + Foot, {0.5, 1.0, 0}}, {LFront + Foot, {-0.5, 1.0, 0}}};
    const struct { const char* pose; Joints joints; std::vector<Spot> spots; } cases[] = {
        {"all joints 0", {}, rest},
        {"joint 2 alone at 60", {{2, 60}}, rest},
        {"front legs raised", {{2, 60}, {3, 90}, {4, 90}},   // elbows 0.3 out along the paws' line
         {{RFront + Foot, {0.85, 1.7, -0.6062}}, {LFront + Foot, {-0.85, 1.7, -0.6062}},
          {RFront + Mid, {elbowX, 1.7, elbowZ}}, {LFront + Mid, {-elbowX, 1.7, elbowZ}}}},
        {"hind legs bent", {{8, 30}, {9, 30}, {10, 40}, {11, 40}},
         {{RHind + Mid, {0.3536, kneeY, kneeZ}}, {RHind + Foot, {0.3536, 0.1927, -0.0805}},
          {LHind + Mid, {-0.3536, kneeY, kneeZ}}, {LHind + Foot, {-0.3536, 0.1927, -0.0805}}}},
        {"hind legs splayed", {{7, 20}}, {{RHind + Foot, {x20, y20, 0}}, {LHind + Foot, {-x20, y20, 0}}}},
        {"tail curled", {{0, -30}, {1, -20}}, {{Tip, {0, 3.4604, 1.0704}}}},
    };
    for (const auto& c : cases) {
        const std::vector<Call> p = drawPose(c.joints);
        for (const Spot& s : c.spots)
            expectNear(s.farEnd ? p[s.prim].end() : p[s.prim].at(), s.want, 1e-3,
                       std::string(c.pose) + ", primitive " + std::to_string(s.prim));
    }
}

// Tail segment k runs at angle a[k] from straight back (+z) toward `side`;
// walking the segment lengths from the base gives each joint's centre.
TEST(SquirrelDrawing, TailCurlsUpForNegativeBendAndSwingsRightForPositiveSwing)
{
    const double length[5] = {0.7, 0.7, 1.0, 0.7, 0};
    const struct { const char* pose; Joints joints; double a[5]; Vec side; } cases[] = {
        {"straight", {}, {0, 0, 0, 0}, {0, 1, 0}},
        {"curled", {{0, -30}, {1, -20}}, {30, 60, 90, 110}, {0, 1, 0}},
        {"swung", {{12, 10}}, {10, 20, 30, 40}, {1, 0, 0}},
    };
    for (const auto& c : cases) {
        const std::vector<Call> p = drawPose(c.joints);
        Vec joint{0, kTailY, 0.3536};
        for (int k = 0; k <= 4; k++) {
            expectNear(p[Tail + 2 * k].at(), joint, 1e-3, c.pose + (", joint " + std::to_string(k)));
            const double along = length[k] * std::cos(rad(c.a[k]));   // none after the tip (k = 4)
            const double across = length[k] * std::sin(rad(c.a[k]));
            joint = {joint[0] + across * c.side[0], joint[1] + across * c.side[1], joint[2] + along};
        }
    }
}

TEST(SquirrelDrawing, EqualLeftRightJointsGiveAMirrorImagePose)
{
    const std::vector<Call> p = drawPose({{0, -17}, {1, 23}, {2, 47}, {3, 71}, {4, 71}, {5, 33}, {6, 33},
                                          {7, 12}, {8, -25}, {9, -25}, {10, 38}, {11, 38}});
    for (int i = 0; i < Count; i++) {
        // The partner is the same part of the other leg (5 on), ear or eye (pairs); the rest are central.
        const bool right = (i >= RHind && i < LHind) || (i >= RFront && i < LFront);
        const bool left = (i >= LHind && i < Tail) || (i >= LFront && i < Head);
        const Call& q = p[right ? i + 5 : left ? i - 5 : i >= REar ? i ^ 1 : i];
        EXPECT_EQ(q.args, p[i].args) << "primitive " << i;
        for (const auto& [mine, theirs] : {std::pair{p[i].at(), q.at()}, std::pair{p[i].end(), q.end()}})
            expectNear(theirs, {-mine[0], mine[1], mine[2]}, 1e-4, "mirror of " + std::to_string(i));
    }
    EXPECT_GT(std::fabs(p[RFront + Foot].at()[2]), 0.1) << "the legs must really be bent";
}
