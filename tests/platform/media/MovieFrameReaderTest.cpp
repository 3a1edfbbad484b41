#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/MovieFrameReader.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;

namespace {

std::string writeAvi(const TempFolder &folder, const std::string &name, int width, int height)
{
    const std::string path = folder.file(name);
    AviMpeg4Writer writer;
    EXPECT_EQ(writer.open(path, width, height), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(writer.writeFrame(makeTestFrame(width, height, i).data()), 0);
    EXPECT_EQ(writer.close(), 0);
    return path;
}

std::string writeQuickTime(const TempFolder &folder, const std::string &name, int width, int height)
{
    const std::string path = folder.file(name);
    QuickTimeMovieWriter writer;
    EXPECT_EQ(writer.start(path), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(writer.addFrame(makeTestFrame(width, height, i).data(), width, height, true), 0);
    EXPECT_EQ(writer.finish(-1), 0);
    return path;
}

// Red above, blue below, as the test frames are drawn.
void expectUpright(const BgrImage &image)
{
    const int x = image.width - 1; // the last pixel of a row, where a short row would show
    EXPECT_GT(image.row(0)[3 * x + 2], 150);
    EXPECT_LT(image.row(0)[3 * x + 0], 100);
    EXPECT_GT(image.row(image.height - 1)[3 * x + 0], 150);
    EXPECT_LT(image.row(image.height - 1)[3 * x + 2], 100);
}

struct FrameSize
{
    int width;
    int height;
};

class MovieFrameReaderSizes : public testing::TestWithParam<FrameSize>
{
};

} // namespace

// Widths whose rows are not a multiple of 16 pixels are where libswscale's converters
// write past the end of a row; every row must still be whole and nothing else written.
TEST_P(MovieFrameReaderSizes, FirstFrameOfEveryWidthIsWholeInBothRowOrders)
{
    const FrameSize size = GetParam();
    TempFolder folder;
    const std::string avi = writeAvi(folder, "movie.avi", size.width, size.height);
    const std::string mov = writeQuickTime(folder, "movie.mov", size.width, size.height);
    for (const std::string &path : {avi, mov}) {
        for (const bool bottomUp : {false, true}) {
            SCOPED_TRACE(path + (bottomUp ? " bottom-up" : " top-down"));
            BgrImage image;
            ASSERT_EQ(MovieFrameReader::readFirstFrame(path, image, bottomUp), 0);
            EXPECT_EQ(image.width, size.width);
            EXPECT_EQ(image.height, size.height);
            EXPECT_EQ(image.bottomUp, bottomUp);
            EXPECT_EQ(image.pixels.size(), static_cast<size_t>(size.width) * size.height * 3);
            expectUpright(image);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, MovieFrameReaderSizes,
                         testing::Values(FrameSize{40, 24}, FrameSize{56, 48}, FrameSize{104, 80},
                                         FrameSize{64, 48}),
                         [](const testing::TestParamInfo<FrameSize> &info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST(MovieFrameReader, TheContainerComesFromTheNameOnly)
{
    struct Case
    {
        const char *path;
        bool known;
        MovieContainer container;
    };
    const Case cases[] = {
        {"/a/M20240305_001.mov", true, MovieContainer::QuickTime},
        {"/a/V1.AVI", true, MovieContainer::Avi},
        {"/a/b.avi/movie", false, MovieContainer::Avi},
        {"/a/movie.mp4", false, MovieContainer::Avi},
        {"/a/movie", false, MovieContainer::Avi},
    };
    for (const Case &c : cases) {
        MovieContainer container = MovieContainer::Avi;
        EXPECT_EQ(MovieFrameReader::containerOf(c.path, container), c.known) << c.path;
        if (c.known) {
            EXPECT_EQ(container, c.container) << c.path;
        }
    }

    // A QuickTime movie under an AVI name (and the other way round) is not read.
    TempFolder folder;
    const std::string avi = writeAvi(folder, "real.avi", 64, 48);
    const std::string mov = writeQuickTime(folder, "real.mov", 64, 48);
    std::filesystem::copy_file(mov, folder.file("renamed.avi"));
    std::filesystem::copy_file(avi, folder.file("renamed.mov"));
    std::filesystem::copy_file(avi, folder.file("renamed.mp4"));
    BgrImage image;
    EXPECT_LT(MovieFrameReader::readFirstFrame(folder.file("renamed.avi"), image), 0);
    EXPECT_LT(MovieFrameReader::readFirstFrame(folder.file("renamed.mov"), image), 0);
    EXPECT_EQ(MovieFrameReader::readFirstFrame(folder.file("renamed.mp4"), image),
              AVERROR_DEMUXER_NOT_FOUND);
    EXPECT_TRUE(image.isEmpty());
}

TEST(MovieFrameReader, AnOpenFileIsReadFromItsStartAndFittedInsideTheBox)
{
    TempFolder folder;
    const std::string avi = writeAvi(folder, "movie.avi", 320, 240);
    const int fd = ::open(avi.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 100, SEEK_SET), 100); // wherever the caller left it
    struct Case
    {
        FrameFit fit;
        int width;
        int height;
    };
    const Case cases[] = {
        {{100, 100}, 100, 75}, {{96, 40}, 53, 40}, {{640, 480}, 320, 240}, {{0, 0}, 320, 240}};
    for (const Case &c : cases) {
        BgrImage image;
        ASSERT_EQ(MovieFrameReader::readFirstFrame(fd, MovieContainer::Avi, image, false, c.fit),
                  0);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        expectUpright(image);
    }
    ::close(fd);
}
