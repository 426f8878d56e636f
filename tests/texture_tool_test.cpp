// The texture generator make_textures: two raw 256x256 RGB images written
// into the directory it is given, the same bytes on every run, bright enough
// for the dark materials they are multiplied with, the leaves green and the
// bark streaked vertically; and a non-zero status when it cannot write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

const size_t side = 256, imageBytes = side * side * 3;   // 196,608

int runTool(const std::string& arguments)
{
    const int status = std::system(("'" MAKE_TEXTURES_PATH "' " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TextureTool : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(folder), nullptr); }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Runs the tool into a new subfolder and returns the named image it wrote there.
    std::vector<unsigned char> generate(const std::string& subfolder, const char* name)
    {
        const std::filesystem::path out = std::filesystem::path(folder) / subfolder;
        std::filesystem::create_directory(out);
        EXPECT_EQ(runTool("'" + out.string() + "'"), 0);
        std::ifstream in(out / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    char folder[32] = "/tmp/texture-tool-XXXXXX";
};

double luminance(const std::vector<unsigned char>& image, size_t x, size_t y)
{
    const unsigned char* p = &image[(y * side + x) * 3];
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
}

TEST_F(TextureTool, WritesFullSizeImagesWithTheSameBytesOnEveryRun)
{
    for (const char* name : {"leaves.rgb", "bark.rgb"}) {
        const std::vector<unsigned char> first = generate("first", name), second = generate("second", name);
        EXPECT_EQ(first.size(), imageBytes) << name;
        EXPECT_TRUE(first == second) << name << " differs between runs";
    }
}

// Bright bark with vertical streaks (neighbouring columns differ much more
// than neighbouring rows) and bright green leaves.
TEST_F(TextureTool, BarkIsBrightAndStreakedVerticallyAndLeavesAreBrightGreen)
{
    const std::vector<unsigned char> bark = generate("out", "bark.rgb"), leaves = generate("out", "leaves.rgb");
    ASSERT_TRUE(bark.size() == imageBytes && leaves.size() == imageBytes);
    double barkMean = 0, acrossColumns = 0, alongColumns = 0, leafMean[3] = {0, 0, 0};
    for (size_t y = 0; y < side; y++)
        for (size_t x = 0; x < side; x++) {
            barkMean += luminance(bark, x, y) / (side * side);
            acrossColumns += std::pow(luminance(bark, (x + 1) % side, y) - luminance(bark, x, y), 2);
            alongColumns += std::pow(luminance(bark, x, (y + 1) % side) - luminance(bark, x, y), 2);
            for (int c = 0; c < 3; c++)
                leafMean[c] += leaves[(y * side + x) * 3 + c] / double(side * side);
        }
    EXPECT_GT(barkMean, 160.0);
    EXPECT_GT(acrossColumns, 4.0 * alongColumns);
    EXPECT_GT(leafMean[1], 160.0);
    EXPECT_GT(leafMean[1], std::max(leafMean[0], leafMean[2]));
}

TEST_F(TextureTool, FailsWithoutAWritableOutputDirectory)
{
    const std::string plain = std::string(folder) + "/plain";
    std::ofstream(plain) << "not a directory";
    for (const std::string& arguments : {std::string(), "'" + std::string(folder) + "/missing'", "'" + plain + "'"})
        EXPECT_NE(runTool(arguments), 0) << "arguments: " << arguments;
}

}  // namespace
