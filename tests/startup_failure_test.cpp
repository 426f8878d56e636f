// The one fatal failure: a GLU quadric that cannot be created stops the
// program with one message line and exit status 1. The squirrel's own
// quadric is made before main; the scenery quadric in initObjects.
#include <gtest/gtest.h>

#include "scene.h"

namespace {
bool refuseQuadric = false;   // when set, gluNewQuadric reports exhausted memory
}

extern "C" GLUquadric* __real_gluNewQuadric();

extern "C" GLUquadric* __wrap_gluNewQuadric()
{
    return refuseQuadric ? nullptr : __real_gluNewQuadric();
}

TEST(StartupFailure, SquirrelWithoutQuadricExitsWithMessage)
{
    refuseQuadric = true;
    EXPECT_EXIT(Squirrel(), testing::ExitedWithCode(1),
                "^Unable to create GLU quadric object\\.\n$");
}

TEST(StartupFailure, SceneryWithoutQuadricExitsWithMessage)
{
    // The child re-runs this test from the start: a plain fork would carry
    // the GL driver's state without its threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    openWindow(64, 48, false);
    refuseQuadric = true;
    EXPECT_EXIT(initObjects(), testing::ExitedWithCode(1),
                "^Unable to create GLU quadric object\\.\n$");
}

TEST(StartupFailure, NewSquirrelHasAllJointsAtZero)
{
    Squirrel fresh;
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(fresh.part(i), 0.0f) << "joint " << i;
}

TEST(StartupFailure, PartIsTheStoredJoint)
{
    Squirrel fresh;
    fresh.part(7) = 12.5f;
    fresh.part(12) = -3.0f;
    EXPECT_EQ(fresh.part(7), 12.5f);
    EXPECT_EQ(fresh.part(12), -3.0f);
    EXPECT_EQ(fresh.part(6), 0.0f);
}
