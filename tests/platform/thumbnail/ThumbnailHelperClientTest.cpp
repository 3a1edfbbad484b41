#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "platform/thumbnail/ThumbnailHelperClient.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;

namespace {

std::string writeAvi(const TempFolder &folder, const std::string &name)
{
    const std::string path = folder.file(name);
    AviMpeg4Writer writer;
    EXPECT_EQ(writer.open(path, 320, 240), 0);
    EXPECT_EQ(writer.writeFrame(makeTestFrame(320, 240).data()), 0);
    EXPECT_EQ(writer.close(), 0);
    return path;
}

std::string writeQuickTime(const TempFolder &folder, const std::string &name)
{
    const std::string path = folder.file(name);
    QuickTimeMovieWriter writer;
    EXPECT_EQ(writer.start(path), 0);
    EXPECT_EQ(writer.addFrame(makeTestFrame(160, 120).data(), 160, 120, true), 0);
    EXPECT_EQ(writer.finish(-1), 0);
    return path;
}

ThumbnailHelperClient::Options misbehaving(std::vector<std::string> &log)
{
    ThumbnailHelperClient::Options options;
    options.helperPath = VARNOLET_MISBEHAVING_THUMBNAILER;
    options.timeout = std::chrono::milliseconds(1500);
    options.log = [&log](const std::string &line) { log.push_back(line); };
    return options;
}

} // namespace

TEST(ThumbnailHelperClient, OneHelperBesideTheProgramServesManyMoviesFittedIntoTheBox)
{
    ASSERT_TRUE(std::filesystem::exists(ThumbnailHelperClient::defaultHelperPath()))
        << ThumbnailHelperClient::defaultHelperPath();
    TempFolder folder;
    const std::string avi = writeAvi(folder, "V1.avi");
    const std::string mov = writeQuickTime(folder, "M1.mov");
    std::vector<std::string> log;
    ThumbnailHelperClient::Options options;
    options.log = [&log](const std::string &line) { log.push_back(line); };
    ThumbnailHelperClient client(options);
    struct Case
    {
        std::string path;
        FrameFit fit;
        int width, height, sourceWidth, sourceHeight;
    };
    const Case cases[] = {{avi, {100, 100}, 100, 75, 320, 240},
                          {mov, {100, 100}, 100, 75, 160, 120},
                          {avi, {640, 480}, 320, 240, 320, 240}};
    for (const Case &c : cases) {
        const auto result = client.firstFrame(c.path, c.fit);
        ASSERT_EQ(result.status, 0) << c.path;
        EXPECT_EQ(result.picture.width, c.width);
        EXPECT_EQ(result.picture.height, c.height);
        EXPECT_EQ(result.sourceWidth, c.sourceWidth);
        EXPECT_EQ(result.sourceHeight, c.sourceHeight);
        // Upright: red above, blue below (away from the green bar on the left).
        const int x = 3 * (c.width / 2);
        EXPECT_GT(result.picture.row(2)[x + 2], 150);
        EXPECT_GT(result.picture.row(c.height - 3)[x], 150);
    }
    EXPECT_EQ(client.starts(), 1);
    EXPECT_TRUE(log.empty());

    // A file that is no movie is the file's failure, not the helper's: no restart, no log.
    const auto broken =
        client.firstFrame(folder.write("broken.avi", "RIFF....AVI junk"), {100, 100});
    EXPECT_LT(broken.status, 0);
    EXPECT_NE(broken.status, ThumbnailHelperClient::kHelperFailed);
    EXPECT_EQ(client.firstFrame(folder.write("notes.txt", "x"), {100, 100}).status,
              AVERROR_DEMUXER_NOT_FOUND);
    EXPECT_EQ(client.starts(), 1);
    EXPECT_TRUE(log.empty());
}

TEST(ThumbnailHelperClient, CrashesHangsAndGarbageCostOneFileAndOneLogLineEach)
{
    TempFolder folder;
    const std::string good = writeAvi(folder, "good.avi");
    struct Case
    {
        std::string name;
        std::string content; // empty: the good movie
        bool helperFails;
    };
    const Case cases[] = {
        {"1.avi", "", false},       {"crash.avi", "CRASH", true}, {"2.avi", "", false},
        {"hang.avi", "HANG", true}, {"3.avi", "", false},         {"junk.avi", "GARBAGE", true},
        {"huge.mov", "HUGE", true}, {"4.avi", "", false},
    };
    std::vector<std::string> log;
    ThumbnailHelperClient client(misbehaving(log));
    size_t failures = 0;
    for (const Case &c : cases) {
        const std::string path = c.content.empty() ? good : folder.write(c.name, c.content);
        const auto started = std::chrono::steady_clock::now();
        const auto result = client.firstFrame(path, {100, 100});
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.name;
        if (c.helperFails) {
            ++failures;
            EXPECT_EQ(result.status, ThumbnailHelperClient::kHelperFailed) << c.name;
            EXPECT_TRUE(result.picture.isEmpty()) << c.name;
            EXPECT_EQ(client.helperPid(), 0) << c.name;
            ASSERT_EQ(log.size(), failures) << c.name;
            EXPECT_NE(log.back().find(path), std::string::npos) << log.back();
        } else {
            EXPECT_EQ(result.status, 0) << c.name;
            EXPECT_EQ(result.picture.width, 100) << c.name;
        }
    }
    EXPECT_EQ(client.starts(), 5); // the first, then one after each failure but the last
}

TEST(ThumbnailHelperClient, TheSandboxRefusesFilesByName)
{
    TempFolder folder;
    std::vector<std::string> log;
    ThumbnailHelperClient client(misbehaving(log));
    const auto result = client.firstFrame(folder.write("open.avi", "OPEN"), {100, 100});
    EXPECT_EQ(result.status, -EACCES);
    EXPECT_TRUE(log.empty());
}

TEST(ThumbnailHelperClient, AMissingHelperOrAFifoGivesNoPictureAndNoHang)
{
    TempFolder folder;
    const std::string good = writeAvi(folder, "good.avi");
    std::vector<std::string> log;
    ThumbnailHelperClient::Options options;
    options.helperPath = folder.file("no-such-helper");
    options.log = [&log](const std::string &line) { log.push_back(line); };
    ThumbnailHelperClient missing(options);
    EXPECT_EQ(missing.firstFrame(good, {100, 100}).status, ThumbnailHelperClient::kHelperFailed);
    EXPECT_EQ(log.size(), 1u);

    const std::string fifo = folder.file("pipe.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ThumbnailHelperClient client;
    EXPECT_EQ(client.firstFrame(fifo, {100, 100}).status, AVERROR(EINVAL));
    EXPECT_EQ(client.starts(), 0);
}
