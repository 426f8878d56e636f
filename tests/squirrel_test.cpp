// The squirrel: what Squirrel::draw emits (sizes, tessellation, materials,
// quadric) and where each joint puts the parts, in the caller's frame (y up,
// the squirrel facing -z, its right +x); and the matrix stack it leaves.
#include <sstream>

#include "draw_recorder.h"

namespace {

// Drawing order: haunch, right and left hind legs (upper joint and segment,
// middle joint, lower segment, foot), tail (four joints and segments, the
// tip), body, right and left front legs, head top, ears, eyes.
enum { Haunch, RHind, LHind = 6, Tip = 19, Body, RFront, LFront = 26 };
enum { Head = 31, REar, LEar, REye, LEye, Count };
enum { Mid = 2, Foot = 4 };   // within a leg
const double hipY = 1.2 - 0.35361, footY = hipY - 0.7;
const Vec tailBase{0, 1.2 - 0.3536, 0.3536};

using Joints = std::vector<std::pair<int, float>>;

// Draws the squirrel with `joints` set, the others 0, in a caller's frame
// moved by (1, 2, 3) that draw must leave as found; positions in its axes.
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
    expectStackAsFound(2, translation({1, 2, 3}), "after draw");
    glPopMatrix();
    EXPECT_EQ(p.size(), static_cast<size_t>(Count));
    p.resize(Count);
    for (Call& c : p)
        c.m = translation({-1, -2, -3}) * c.m;
    return p;
}

// p + length * (unit vector `deg` degrees from `from` toward `to`).
Vec along(const Vec& p, double length, double deg, const Vec& from, const Vec& to)
{
    const double c = length * std::cos(rad(deg)), s = length * std::sin(rad(deg));
    return {p[0] + c * from[0] + s * to[0], p[1] + c * from[1] + s * to[1], p[2] + c * from[2] + s * to[2]};
}

// The tail's segments leave its base at angles a[k] from straight back (+z)
// toward `side`; the tip centre sits at the end of the fourth.
Vec tailTip(const std::array<double, 4>& a, const Vec& side)
{
    Vec p = tailBase;
    for (int k = 0; k < 4; k++)
        p = along(p, std::array{0.7, 0.7, 1.0, 0.7}[k], a[k], {0, 0, 1}, side);
    return p;
}

}  // namespace

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
    EXPECT_EQ(got.str(), "S0.5 " + leg + leg + tail + "C0.5,0.5,1 " + leg + leg + "D0,0.5 S0.2 S0.2 S0.1 S0.1 ");
    EXPECT_NE(p[0].quadric, nullptr);
    EXPECT_NE(p[0].quadric, gluq) << "the squirrel must not share the scenery's quadric";
}

// Each leg joint alone moves its own leg, and only that one, the way its
// angle says; the tail bends and swings segment by segment.
TEST(SquirrelDrawing, EachJointMovesItsOwnPartWhereItsAngleSays)
{
    struct Spot { int prim; Vec want; bool farEnd = false; };
    const Vec down{0, -1, 0}, back{0, 0, 1}, ahead{0, 0, -1}, up{0, 1, 0};
    const Vec leftOut{-std::cos(rad(60)), 0, -std::sin(rad(60))}, rightOut{std::cos(rad(60)), 0, -std::sin(rad(60))};
    const Spot restFeet[4] = {{RHind + Foot, {0.3536, footY, 0}}, {LHind + Foot, {-0.3536, footY, 0}},
                              {RFront + Foot, {0.5, 1.0, 0}}, {LFront + Foot, {-0.5, 1.0, 0}}};
    // The three feet a one-sided pose must leave alone, and its own spots.
    auto oneSided = [&](int moved, std::vector<Spot> spots) {
        for (const Spot& s : restFeet)
            if (s.prim != moved)
                spots.push_back(s);
        return spots;
    };
    const Vec lHip{-0.3536, hipY, 0}, rHip{0.3536, hipY, 0}, lHand{-0.5, 1.4, 0}, rHand{0.5, 1.4, 0};
    const double splay = 20;
    // The rest pose to GL's float precision: 0.3536 and 0.35361 differ.
    const struct { const char* pose; Joints joints; std::vector<Spot> spots; double tolerance = 1e-3; } cases[] = {
        {"all joints 0", {}, oneSided(-1, {{Haunch, {0, 1.2, 0}}, {Body, {0, 1.2, 0}}, {Body, {0, 2.2, 0}, true},
            {Head, {0, 2.2, 0}}, {REar, {0.3, 2.2, 0}}, {LEar, {-0.3, 2.2, 0}}, {REye, {0.1, 1.9, -0.4}},
            {LEye, {-0.1, 1.9, -0.4}}, {RHind, rHip}, {LHind, lHip}, {RFront, {0.5, 1.7, 0}},
            {LFront, {-0.5, 1.7, 0}}, {Tip, {0, tailBase[1], 3.4536}}}), 2e-6},
        {"left shoulder raised", {{2, 60}, {3, 90}}, oneSided(LFront + Foot, {{LFront + Foot, {-0.85, 1.7, -0.6062}}})},
        {"right shoulder raised", {{2, 60}, {4, 90}}, oneSided(RFront + Foot, {{RFront + Foot, {0.85, 1.7, -0.6062}}})},
        {"left elbow bent", {{2, 60}, {5, 90}}, oneSided(LFront + Foot, {{LFront + Foot, along(lHand, 0.4, 90, down, leftOut)}})},
        {"right elbow bent", {{2, 60}, {6, 90}}, oneSided(RFront + Foot, {{RFront + Foot, along(rHand, 0.4, 90, down, rightOut)}})},
        {"left hip forward", {{8, 30}}, oneSided(LHind + Foot, {{LHind + Mid, along(lHip, 0.3, 30, down, ahead)},
                                                                {LHind + Foot, along(lHip, 0.7, 30, down, ahead)}})},
        {"right hip forward", {{9, 30}}, oneSided(RHind + Foot, {{RHind + Foot, along(rHip, 0.7, 30, down, ahead)}})},
        {"left knee folded", {{10, 40}}, oneSided(LHind + Foot, {{LHind + Foot, along({-0.3536, hipY - 0.3, 0}, 0.4, 40, down, back)}})},
        {"right knee folded", {{11, 40}}, oneSided(RHind + Foot, {{RHind + Foot, along({0.3536, hipY - 0.3, 0}, 0.4, 40, down, back)}})},
        {"hind legs bent", {{8, 30}, {9, 30}, {10, 40}, {11, 40}},
         {{RHind + Foot, {0.3536, 0.1927, -0.0805}}, {LHind + Foot, {-0.3536, 0.1927, -0.0805}}}},
        {"hind legs splayed", {{7, splay}}, {{RHind + Foot, along(rHip, 0.7, splay, down, {1, 0, 0})},
                                             {LHind + Foot, along(lHip, 0.7, splay, down, {-1, 0, 0})}}},
        {"tail curled", {{0, -30}, {1, -20}}, {{Tip, {0, 3.4604, 1.0704}}}},
        {"tail bent at its fourth joint", {{1, -20}}, {{Tip, tailTip({0, 0, 0, 20}, up)}}},
        {"tail bent at its first three joints", {{0, -30}}, {{Tip, tailTip({30, 60, 90, 90}, up)}}},
        {"tail swung right", {{12, 10}}, {{Tip, tailTip({10, 20, 30, 40}, {1, 0, 0})}}},
    };
    for (const auto& c : cases) {
        const std::vector<Call> p = drawPose(c.joints);
        for (const Spot& s : c.spots)
            expectNear(s.farEnd ? p[s.prim].end() : p[s.prim].at(), s.want, c.tolerance,
                       std::string(c.pose) + ", primitive " + std::to_string(s.prim));
    }
}
