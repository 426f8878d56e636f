// Loading of the tree textures by initObjects: each case runs in a scratch
// working directory holding the files it names, and checks the messages on
// the standard error stream and the image each texture holds afterwards.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "scene.h"

namespace {

const size_t imageBytes = 256 * 256 * 3;   // 196,608
enum File { Good, Short, Long, Missing, Directory, Fifo, Unreadable };

struct Case {
    const char* name;
    File leaves, bark;
    const char* messages;
    bool leavesLoad, barkLoads;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const Case cases[] = {
    {"ExactSizeFilesLoadSilently", Good, Good, "", true, true},
    {"LongerFileLoadsFromItsFirstBytes", Long, Good, "", true, true},
    {"ShortLeafFileIsReportedAndGetsNoImage", Short, Good, "Error reading leaves.rgb\n", false, true},
    {"ShortBarkFileIsReportedAndGetsNoImage", Good, Short, "Error reading bark.rgb\n", true, false},
    {"MissingLeafFileIsReportedAndBarkStillLoads", Missing, Good, "Error loading leaves.rgb\n", false, true},
    {"BothMissingAreReportedLeavesFirst", Missing, Missing,
     "Error loading leaves.rgb\nError loading bark.rgb\n", false, false},
    {"DirectoryNamedLeavesIsNotLoadable", Directory, Good, "Error loading leaves.rgb\n", false, true},
    {"FifoNamedLeavesIsReportedWithoutBlocking", Fifo, Good, "Error loading leaves.rgb\n", false, true},
    {"UnreadableLeafFileIsNotLoadable", Unreadable, Good, "Error loading leaves.rgb\n", false, true},
};

// Bytes that change along rows and across them, different per seed, so
// swapped files and shifted bytes show up.
std::vector<unsigned char> pattern(size_t length, unsigned seed)
{
    std::vector<unsigned char> bytes(length);
    for (size_t n = 0; n < length; n++)
        bytes[n] = static_cast<unsigned char>(n * (2 * seed + 5) + n / 768 * seed + seed * 29);
    return bytes;
}

void create(const char* name, File kind, unsigned seed)
{
    if (kind == Directory || kind == Fifo) {
        ASSERT_EQ(kind == Fifo ? mkfifo(name, 0644) : mkdir(name, 0755), 0) << name;
    } else if (kind != Missing) {
        const auto bytes = pattern(imageBytes + (kind == Short ? -1 : kind == Long ? 5000 : 0), seed);
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        ASSERT_EQ(kind == Unreadable ? chmod(name, 0) : 0, 0) << name;
    }
}

// A loaded texture holds the file's first bytes with a linear minifying
// filter (the default one needs mipmaps); a rejected file's has no image.
void expectTexture(GLuint texture, bool loaded, unsigned seed, const char* what)
{
    GLint width = -1, filter = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    ASSERT_EQ(width, loaded ? 256 : 0) << what;
    if (!loaded)
        return;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR) << what;
    std::vector<unsigned char> image(imageBytes);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    EXPECT_TRUE(image == pattern(imageBytes, seed)) << what << ": not the file's first " << imageBytes << " bytes";
}

void hungOnFifo(int)
{
    static const char message[] = "initObjects did not return: it blocked on the FIFO leaves.rgb\n";
    _exit(write(STDERR_FILENO, message, sizeof message - 1) > 0 ? 1 : 2);
}

class TextureLoading : public testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        openWindow(640, 480, false);
        ASSERT_NE(mkdtemp(folder), nullptr);
        std::filesystem::current_path(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    char folder[32] = "/tmp/texture-loader-XXXXXX";
};

TEST_P(TextureLoading, ReportsAndLoadsEachFileOnItsOwn)
{
    const Case& c = GetParam();
    create("leaves.rgb", c.leaves, 3);
    create("bark.rgb", c.bark, 11);
    if (c.leaves == Unreadable && access("leaves.rgb", R_OK) == 0)
        GTEST_SKIP() << "this user reads files whatever their permissions";
    std::ostringstream messages;
    std::streambuf* original = std::cerr.rdbuf(messages.rdbuf());
    std::signal(SIGALRM, hungOnFifo);
    alarm(10);
    initObjects();
    alarm(0);
    std::cerr.rdbuf(original);

    EXPECT_EQ(messages.str(), c.messages);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(c.barkLoads ? texBark : c.leavesLoad ? texLeaves : 0)) << "last upload bound";
    ASSERT_NE(texLeaves, texBark);
    expectTexture(texLeaves, c.leavesLoad, 3, "leaves");
    expectTexture(texBark, c.barkLoads, 11, "bark");
}

INSTANTIATE_TEST_SUITE_P(Files, TextureLoading, testing::ValuesIn(cases));

}  // namespace
