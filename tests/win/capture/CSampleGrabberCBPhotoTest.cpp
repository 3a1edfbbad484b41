#include "platform/media/JpegDecoder.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/win/capture/CSampleGrabberCBTestSupport.h"

#include <filesystem>
#include <stdexcept>

#include <QImage>

using namespace varnolet;
using namespace varnolet::test;

namespace {

QImage decodePhoto(const std::string &path)
{
    JpegDecoder decoder;
    QImage image;
    EXPECT_TRUE(decoder.decodeFile(path, image).ok()) << path;
    return image;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 170 && qBlue(pixel) < 80;
}

} // namespace

TEST_F(SinkTest, PhotoRequestSavesTheNextFrameUprightAndAnswers)
{
    auto frame = makeTestFrame(640, 480);
    owner.RequestPhoto();
    ASSERT_EQ(feed(preview(), frame), 0);
    EXPECT_EQ(owner.PhotoRequested(), 0);
    EXPECT_EQ(window.count(CSampleGrabberOwner::PhotoTakenMessage), 1);

    const std::string expected =
        SingleShotsFolder(services.Settings().GetUsingSettings()) + "/S20240305_0001.jpg";
    ASSERT_EQ(window.files(), std::vector<std::string>{expected});
    const QImage image = decodePhoto(expected);
    EXPECT_EQ(image.size(), QSize(640, 480));
    EXPECT_TRUE(isRed(image.pixel(320, 5))) << "top row of the picture first";
    EXPECT_FALSE(isRed(image.pixel(320, 475)));

    // The flag is cleared: the next frame is not a photo.
    ASSERT_EQ(feed(preview(), frame), 0);
    EXPECT_EQ(window.files().size(), 1u);
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(SinkTest, PhotoIsCappedToTheCamerasLargestSize)
{
    // Settings 2048 × 1536 on a camera whose largest preview size is 1280 × 720.
    services.Settings().SetUsingCaptureSize(2048, 1536);
    preview().SetLargestSize(1280, 720);
    preview().SetFrameSize(1280, 720);
    auto frame = makeTestFrame(1280, 720);
    owner.RequestPhoto();
    ASSERT_EQ(feed(preview(), frame), 0);
    ASSERT_EQ(window.files().size(), 1u);
    EXPECT_EQ(decodePhoto(window.files()[0]).size(), QSize(1280, 720));

    int w = 0;
    int h = 0;
    CSampleGrabberCB::TargetSize(preview(), 1280, 1024, 2048, 1536, w, h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 1024);
    CSampleGrabberCB::TargetSize(preview(), 1280, 720, 800, 600, w, h);
    EXPECT_EQ(w, 800) << "not above the largest: the settings' size";
    EXPECT_EQ(h, 600);
}

TEST_F(SinkTest, SnapshotButtonImageIsScaledToTheSettingsSize)
{
    still().SetFrameSize(1600, 1200);
    auto frame = makeTestFrame(1600, 1200);
    ASSERT_EQ(feed(still(), frame), 0);
    ASSERT_EQ(window.files().size(), 1u);
    const QImage image = decodePhoto(window.files()[0]);
    EXPECT_EQ(image.size(), QSize(640, 480));
    EXPECT_TRUE(isRed(image.pixel(320, 5)));
    EXPECT_EQ(still().LargestWidth(), 1600);
    EXPECT_EQ(window.count(CSampleGrabberOwner::PhotoTakenMessage), 0)
        << "the still sink posts nothing";
}

TEST_F(SinkTest, PhotoWhileRecordingGoesToBothFiles)
{
    const std::string movie =
        NextMoviePath(MoviesFolder(services.Settings().GetUsingSettings()),
                      services.Settings().GetUsingSettings(), *clock, messages.box());
    CreateMovieWriter(movie, clock, services, messages.box(), &window);
    owner.SetRecordingActive(true);
    owner.RequestPhoto();
    auto frame = makeTestFrame(640, 480);
    ASSERT_EQ(feed(preview(), frame), 0);
    owner.SetRecordingActive(false);
    CloseMovieWriter(&window);

    const auto files = window.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(decodePhoto(files[0]).size(), QSize(640, 480));
    EXPECT_EQ(files[1], movie);
    const MovieProbe probe = probeMovie(movie);
    EXPECT_EQ(probe.packets, 1);
    EXPECT_EQ(probe.decodedFrames, 1);
    EXPECT_EQ(window.count(CSampleGrabberOwner::PhotoTakenMessage), 1);
}

TEST_F(SinkTest, UnsavablePhotoShowsTheStatusAndStillAnswers)
{
    // A plain file where the single-shots folder should be: naming works, saving fails.
    const std::string shots = SingleShotsFolder(services.Settings().GetUsingSettings());
    std::filesystem::remove(shots);
    folder.write("Varnolet/Single Shots", "not a folder");
    auto frame = makeTestFrame(640, 480);
    owner.RequestPhoto();
    ASSERT_EQ(feed(preview(), frame), 0);
    EXPECT_EQ(window.count(CSampleGrabberOwner::PhotoTakenMessage), 1);
    EXPECT_TRUE(window.files().empty());
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_EQ(messages->texts()[0],
              "Save file " + shots + "/S20240305_0001.jpg failureNot a directory");
    EXPECT_EQ(owner.PhotoRequested(), 0);
}

TEST_F(SinkTest, ShortBufferIsRefusedWithoutReadingPastIt)
{
    std::vector<uint8_t> tooShort(640 * 10 * 3, 0);
    owner.RequestPhoto();
    ASSERT_EQ(feed(preview(), tooShort), 0);
    EXPECT_TRUE(window.files().empty());
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_NE(messages->texts()[0].find("InvalidParameter: "), std::string::npos);
}

TEST_F(SinkTest, SavingLocationWhoseNameIsNoUtf8KeepsItsBytes)
{
    // "café" in Latin-1, as config.ini holds it: the byte 0xE9 alone is no UTF-8.
    const std::string location = folder.path() + "/caf\xE9";
    ASSERT_TRUE(std::filesystem::create_directory(location));
    const std::string config =
        folder.write("config.ini", "[usingsetting]\r\nresourcespath=" + location + "\r\n");
    SettingValues values = services.Settings().GetUsingSettings();
    ReadSettingSection(values, config, "usingsetting", services.Paths().documentsFolder());
    ASSERT_EQ(values.resourcesPath, location);
    services.Settings().ApplySettings(values);
    EnsureResourceFolders(values, messages.box());

    auto frame = makeTestFrame(640, 480);
    owner.RequestPhoto();
    ASSERT_EQ(feed(preview(), frame), 0);
    const std::string expected = location + "/Varnolet/Single Shots/S20240305_0001.jpg";
    EXPECT_EQ(SingleShotsFolder(services.Settings().GetUsingSettings()),
              location + "/Varnolet/Single Shots");
    ASSERT_EQ(window.files(), std::vector<std::string>{expected});
    EXPECT_EQ(decodePhoto(expected).size(), QSize(640, 480));
    EXPECT_EQ(messages->count(), 0u);
}

// The photo's name carries the date of the owner's clock, whichever sink saves it.
TEST_F(SinkTest, PhotosAreNamedByTheOwnersClock)
{
    struct Case
    {
        int year, month, day, hour, minute, second;
        bool still;
        const char *name;
    };
    const Case cases[] = {
        {2024, 3, 5, 9, 0, 0, false, "S20240305_0001.jpg"},
        {2024, 3, 5, 23, 59, 59, true, "S20240305_0002.jpg"},
        {2024, 3, 6, 0, 0, 0, false, "S20240306_0001.jpg"},
        {2031, 12, 31, 12, 0, 0, true, "S20311231_0001.jpg"},
    };
    still().SetFrameSize(640, 480);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clock->setLocal(c.year, c.month, c.day, c.hour, c.minute, c.second);
        auto frame = makeTestFrame(640, 480);
        const size_t before = window.files().size();
        if (!c.still)
            owner.RequestPhoto();
        ASSERT_EQ(feed(c.still ? still() : preview(), frame), 0);
        ASSERT_EQ(window.files().size(), before + 1);
        EXPECT_EQ(window.files().back(),
                  SingleShotsFolder(services.Settings().GetUsingSettings()) + "/" + c.name);
    }
}

TEST(SinkOwnerTest, AnOwnerWithoutAClockIsRefused)
{
    const AppServices services(SystemPaths::fromEnvironment());
    EXPECT_THROW(CSampleGrabberOwner(nullptr, MessageRecorder().box(), services),
                 std::invalid_argument);
}
