#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "tests/mac/uvc/CameraFixture.h"

using namespace uvctest;

namespace {

bool contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(UVCCameraControlTest, BrightnessMapsOntoTheCameraRangeAndTruncates)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.5f);

    camera->clearRequests();
    ASSERT_TRUE(control->setBrightness(0.75f));
    ASSERT_TRUE(control->setBrightness(0.999f));
    const auto requests = camera->requests();
    ASSERT_EQ(requests.size(), 2u);
    const FakeUsbCamera::Request &first = requests[0];
    EXPECT_EQ(first.bmRequestType, 0x21);
    EXPECT_EQ(first.bRequest, 0x01);
    EXPECT_EQ(first.wValue, 0x0200);
    EXPECT_EQ(first.wIndex, 0x0300);
    EXPECT_EQ(first.wLength, 2);
    EXPECT_EQ(first.data, (std::vector<uint8_t>{32, 0}));
    EXPECT_EQ(requests[1].data, (std::vector<uint8_t>{63, 0}));
    EXPECT_EQ(camera->control(3, 0x02).cur, 63);
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.999f);

    // Below the middle the camera value is negative: 0.1 gives -51.2, sent as -51.
    ASSERT_TRUE(control->setBrightness(0.1f));
    EXPECT_EQ(camera->control(3, 0x02).cur, -51);
}

TEST(UVCCameraControlTest, ReadingThePictureAsksRangesThenValuesInOrder)
{
    auto camera = makeCamera(kLocation, false, {16, 64, -90, 100, 7});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();

    const auto requests = camera->requests();
    ASSERT_EQ(requests.size(), 15u);
    const int selectors[] = {0x08, 0x07, 0x03, 0x02, 0x06};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(requests[2 * i].bRequest, 0x82) << i;
        EXPECT_EQ(requests[2 * i + 1].bRequest, 0x83) << i;
        EXPECT_EQ(requests[2 * i].wValue, selectors[i] << 8) << i;
        EXPECT_EQ(requests[10 + i].bRequest, 0x81) << i;
        EXPECT_EQ(requests[10 + i].wValue, selectors[i] << 8) << i;
    }
    for (const FakeUsbCamera::Request &request : requests) {
        EXPECT_EQ(request.bmRequestType, 0xA1);
        EXPECT_EQ(request.wIndex, 0x0300);
        EXPECT_EQ(request.wLength, 2);
    }
    EXPECT_FLOAT_EQ(control->getBrightness(), 80.0f / 128.0f);
    EXPECT_FLOAT_EQ(control->getContrast(), 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(control->getGain(), 0.25f);
    EXPECT_FLOAT_EQ(control->getSaturation(), 1.0f);
    EXPECT_FLOAT_EQ(control->getSharpness(), 1.0f);
    EXPECT_EQ(control->controlTable().brightness.min, -64);
    EXPECT_EQ(control->controlTable().gain.max, 180);
    EXPECT_FLOAT_EQ(control->controlTable().gain.defaultValue, 0.25f);
    EXPECT_FLOAT_EQ(control->controlTable().gain.previous, 0.25f);
}

TEST(UVCCameraControlTest, EqualMinimumAndMaximumReadAsZero)
{
    auto camera = makeCamera(kLocation, false);
    camera->setControl(3, 0x03, {100, 100, 100});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    EXPECT_FLOAT_EQ(control->getContrast(), 0.0f);
    EXPECT_FLOAT_EQ(UVCCameraControl::getUiNeedingValue(37, 5, 5), 0.0f);
}

TEST(UVCCameraControlTest, HueGoesToSelectorSixOfUnitThree)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    camera->clearRequests();
    ASSERT_TRUE(control->setGain(1.0f));
    const auto requests = camera->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].wValue, 0x0600);
    EXPECT_EQ(requests[0].wIndex, 0x0300);
    EXPECT_EQ(camera->control(3, 0x06).cur, 180);
    EXPECT_EQ(camera->control(3, 0x04).cur, 0); // gain untouched
}

TEST(UVCCameraControlTest, CancelSendsTheOpeningValuesInOrder)
{
    auto camera = makeCamera(kLocation, false, {-32, 51, 90, 20, 2});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->clearDefaultValue();
    control->getDefaultValue();
    const PictureValues opened{-32, 51, 90, 20, 2};

    ASSERT_TRUE(control->setBrightness(1.0f));
    ASSERT_TRUE(control->setContrast(1.0f));
    ASSERT_TRUE(control->setGain(0.0f));
    ASSERT_TRUE(control->setSaturation(0.0f));
    ASSERT_TRUE(control->setSharpness(0.0f));
    camera->clearRequests();
    control->setPreValue();

    const auto sets = setRequests(*camera);
    const std::vector<std::pair<int, int>> expected = {{0x08, opened.sharpness},
                                                       {0x07, opened.saturation},
                                                       {0x03, opened.contrast},
                                                       {0x02, opened.brightness},
                                                       {0x06, opened.hue}};
    EXPECT_EQ(sets, expected);
    EXPECT_EQ(camera->control(3, 0x02).cur, -32);
}

TEST(UVCCameraControlTest, ACameraChangeResetsTheDefaults)
{
    auto first = makeCamera(kLocation, false, {10, 128, 0, 50, 3});
    auto second = makeCamera(kOtherLocation, false, {-20, 200, 45, 80, 5});
    auto control = makeControl({first, second});

    control->releaseControl();
    control->clearDefaultValue();
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    ASSERT_TRUE(control->setBrightness(0.0f));

    control->releaseControl();
    control->clearDefaultValue();
    ASSERT_TRUE(control->initWithLocationID(kOtherLocation));
    control->getDefaultValue();
    ASSERT_TRUE(control->setBrightness(1.0f));
    ASSERT_TRUE(control->setGain(0.0f));
    second->clearRequests();
    control->setDefaultValue();
    const std::vector<std::pair<int, int>> expected = {
        {0x08, 5}, {0x07, 80}, {0x03, 200}, {0x02, -20}, {0x06, 45}};
    EXPECT_EQ(setRequests(*second), expected);
    EXPECT_TRUE(first->requests().size() > 0);
}

TEST(UVCCameraControlTest, WithoutTheReaderEveryRequestOpensAndClosesTheInterface)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    EXPECT_EQ(camera->opens(), 0);
    control->getDefaultValue();
    EXPECT_EQ(camera->opens(), 15);
    EXPECT_EQ(camera->closes(), 15);

    // A refused request closes it as well.
    camera->setControl(3, 0x02, {-64, 64, 0, 0, -EPIPE});
    ScopedLogCapture log;
    EXPECT_FALSE(control->setBrightness(0.25f));
    EXPECT_EQ(camera->opens(), 16);
    EXPECT_EQ(camera->closes(), 16);
    EXPECT_FALSE(camera->isOpen());
    EXPECT_TRUE(contains(log.lines(), "CameraControl Error: Control request failed: ffffffe0"));
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.5f); // the last accepted value stays
}

TEST(UVCCameraControlTest, NoDeviceWithTheLocationKeepsTheResolutionList)
{
    auto camera = std::make_shared<FakeUsbCamera>(
        kLocation, cameraDescriptor(true, {{1280, 1024}, {640, 480}, {800, 600}}));
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    EXPECT_TRUE(control->mIsSupportHandWareTrigger());
    std::vector<std::string> sizes;
    for (const CaptureResolution &r : control->getPixelsArray())
        sizes.push_back(r.getPixelFormatString());
    EXPECT_EQ(sizes, (std::vector<std::string>{"640X480", "800X600", "1280X1024"}));

    control->releaseControl();
    EXPECT_FALSE(control->initWithLocationID(kOtherLocation));
    EXPECT_EQ(control->getPixelsArray().size(), 3u);
    EXPECT_FALSE(control->hasInterface());
}

TEST(UVCCameraControlTest, DescriptorFailuresLeaveAnEmptyListAndNoTrigger)
{
    auto noConfigurations = makeCamera(kLocation, true);
    noConfigurations->configurations = 0;
    auto unreadable = makeCamera(kOtherLocation, true);
    unreadable->descriptorError = -EIO;
    auto control = makeControl({noConfigurations, unreadable});

    ASSERT_TRUE(control->initWithLocationID(kLocation));
    EXPECT_TRUE(control->getPixelsArray().empty());
    EXPECT_FALSE(control->mIsSupportHandWareTrigger());
    EXPECT_TRUE(control->hasInterface());

    control->releaseControl();
    ASSERT_TRUE(control->initWithLocationID(kOtherLocation));
    EXPECT_TRUE(control->getPixelsArray().empty());
    EXPECT_FALSE(control->mIsSupportHandWareTrigger());
}

TEST(UVCCameraControlTest, DevicesThatCannotBeOpenedAreLoggedAndSkipped)
{
    auto broken = makeCamera(kLocation, false);
    broken->openDeviceError = UsbError::kNoDevice;
    auto good = makeCamera(kLocation, false, {64});
    auto control = makeControl({broken, good});
    ScopedLogCapture log;
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    EXPECT_TRUE(
        contains(log.lines(),
                 "CameraControl Error: IOCreatePlugInInterfaceForService returned 0xfffffffc."));
    control->getDefaultValue();
    EXPECT_FLOAT_EQ(control->getBrightness(), 1.0f);
}

TEST(UVCCameraControlTest, WithoutAnInterfaceEveryRequestIsLoggedAndRefused)
{
    auto noVideoControl = makeCamera(kLocation, false);
    noVideoControl->hasVideoControl = false;
    auto failing = makeCamera(kOtherLocation, false);
    failing->interfaceError = -ENOMEM;
    auto control = makeControl({noVideoControl, failing});
    ScopedLogCapture log;

    ASSERT_TRUE(control->initWithLocationID(kLocation)); // found, but no picture control
    EXPECT_FALSE(control->hasInterface());
    EXPECT_FALSE(control->setBrightness(0.5f));
    EXPECT_TRUE(contains(log.lines(), "CameraControl Error: No interface to send request"));

    control->releaseControl();
    ASSERT_TRUE(control->initWithLocationID(kOtherLocation));
    EXPECT_FALSE(control->hasInterface());
    EXPECT_TRUE(
        contains(log.lines(), "CameraControl Error: Unable to create a plug-in (fffffff4)\n"));
}

TEST(UVCCameraControlTest, AnInterfaceThatCannotBeOpenedRefusesTheRequest)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    camera->setOpenError(UsbError::kBusy);
    ScopedLogCapture log;
    EXPECT_FALSE(control->setSharpness(1.0f));
    EXPECT_TRUE(
        contains(log.lines(), "CameraControl Error: Unable to open interface (fffffffa)\n"));
    EXPECT_EQ(camera->control(3, 0x08).cur, 3);
}

TEST(UVCCameraControlTest, FailedReadsGiveZeroAndMapIt)
{
    auto camera = makeCamera(kLocation, false);
    camera->setControl(3, 0x07, {0, 100, 50, UsbError::kPipe});
    camera->setControl(3, 0x02, {-64, 64, 10});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    // Failed GET_MIN / GET_MAX store 0: a range of 0 maps everything to 0.
    EXPECT_EQ(control->controlTable().saturation.min, 0);
    EXPECT_EQ(control->controlTable().saturation.max, 0);
    EXPECT_FLOAT_EQ(control->getSaturation(), 0.0f);

    // A failing GET_CUR alone reads as 0, mapped through the stored range.
    camera->setControl(3, 0x02, {-64, 64, 10, UsbError::kPipe});
    EXPECT_FLOAT_EQ(control->getValueForControl(control->controlTable().brightness), 0.5f);
}

TEST(UVCCameraControlTest, AnUnpluggedCameraRefusesEveryRequestWithoutHarm)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    const float before = control->getContrast();
    camera->unplug();
    ScopedLogCapture log;
    EXPECT_FALSE(control->setContrast(0.9f));
    control->getDefaultValue();
    control->setPreValue();
    EXPECT_FLOAT_EQ(control->getContrast(), 0.0f); // read as 0 mapped through a failed range
    EXPECT_NE(before, 0.0f);
    EXPECT_TRUE(
        contains(log.lines(), "CameraControl Error: Unable to open interface (fffffffc)\n"));
    control->releaseControl();
}

TEST(UVCCameraControlTest, OtherSettersSendTheirOwnRequests)
{
    auto camera = makeCamera(kLocation, false);
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->controlTable().exposure.min = 0;
    control->controlTable().exposure.max = 1000;
    camera->clearRequests();

    ASSERT_TRUE(control->setAutoExposure(true));
    ASSERT_TRUE(control->setAutoExposure(false));
    ASSERT_TRUE(control->setExposure(0.25f));
    ASSERT_TRUE(control->setAutoWhiteBalance(false));
    const auto requests = camera->requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].wValue, 0x0200);
    EXPECT_EQ(requests[0].wIndex, 0x0100);
    EXPECT_EQ(requests[0].data, (std::vector<uint8_t>{8}));
    EXPECT_EQ(requests[1].data, (std::vector<uint8_t>{1}));
    EXPECT_EQ(requests[2].wValue, 0x0400);
    EXPECT_EQ(requests[2].wLength, 4);
    EXPECT_EQ(requests[2].data, (std::vector<uint8_t>{0xEE, 0x02, 0, 0})); // 750
    EXPECT_FLOAT_EQ(control->getExposure(), 0.75f);
    EXPECT_EQ(requests[3].wValue, 0x0B00);
    EXPECT_EQ(requests[3].data, (std::vector<uint8_t>{0}));
    EXPECT_FALSE(control->getAutoExposure());
    EXPECT_FLOAT_EQ(control->getAutoWhiteBalance(), 0.0f);
}

TEST(UVCCameraControlTest, TheBridgeCarriesTheSameRequestsToV4l2Controls)
{
    auto camera = makeBridgedCamera(kLocation, false, {0, 51, -90, 100, 7});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.5f);
    EXPECT_FLOAT_EQ(control->getContrast(), 0.2f);
    EXPECT_FLOAT_EQ(control->getGain(), 0.25f);
    EXPECT_FLOAT_EQ(control->getSaturation(), 1.0f);

    ASSERT_TRUE(control->setBrightness(0.75f));
    EXPECT_EQ(camera->v4l2->control(V4L2_CID_BRIGHTNESS).value, 32);
    ASSERT_TRUE(control->setBrightness(0.0f));
    EXPECT_EQ(camera->v4l2->control(V4L2_CID_BRIGHTNESS).value, -64);
    ASSERT_TRUE(control->setGain(0.75f));
    EXPECT_EQ(camera->v4l2->control(V4L2_CID_HUE).value, 90);
    ASSERT_TRUE(control->setAutoExposure(false));
    EXPECT_EQ(camera->v4l2->control(V4L2_CID_EXPOSURE_AUTO).value, V4L2_EXPOSURE_MANUAL);

    // The driver refusing a value is a failed request; the property keeps its value.
    camera->v4l2->add(V4L2_CID_SHARPNESS, {0, 7, 1, 3, 7, 0, 0, -EIO});
    ScopedLogCapture log;
    EXPECT_FALSE(control->setSharpness(0.0f));
    EXPECT_FLOAT_EQ(control->getSharpness(), 1.0f);
    EXPECT_TRUE(contains(log.lines(), "CameraControl Error: Control request failed: fffffffb"));
    // A selector without a V4L2 counterpart fails as a stalled request would.
    EXPECT_EQ(control->getDataFor(0x81, 2, 0x13, 3), 0);
    EXPECT_TRUE(contains(log.lines(), "CameraControl Error: Control request failed: fffffff7"));
}

TEST(UVCCameraControlTest, ValueMappingInSinglePrecision)
{
    EXPECT_FLOAT_EQ(UVCCameraControl::getUsbNeedingValue(0.75f, 64, -64), 32.0f);
    EXPECT_EQ(static_cast<int>(UVCCameraControl::getUsbNeedingValue(0.999f, 64, -64)), 63);
    EXPECT_EQ(static_cast<int>(UVCCameraControl::getUsbNeedingValue(0.001f, 64, -64)), -63);
    EXPECT_FLOAT_EQ(UVCCameraControl::getUiNeedingValue(0, 64, -64), 0.5f);
    EXPECT_FLOAT_EQ(UVCCameraControl::getUiNeedingValue(255, 255, 0), 1.0f);
}

TEST(UVCCameraControlTest, RequestsGoToTheEntitiesTheDescriptorDeclares)
{
    DescriptorBuilder b;
    b.interface(0, 0, 0x01)
        .vcHeader(0x0100, 48000000)
        .inputTerminal(4, 0x0A)
        .processingUnit(2, 0x1F)
        .endpoint(0x83, 0x03, 16);
    auto camera = std::make_shared<FakeUsbCamera>(kLocation, b.bytes());
    camera->setControl(2, 0x02, {-64, 64, 32});
    camera->setControl(4, 0x02, {0, 0, 1});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.75f);
    camera->clearRequests();
    ASSERT_TRUE(control->setBrightness(0.5f));
    ASSERT_TRUE(control->setAutoExposure(true));
    const auto requests = camera->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].wIndex, 0x0200);
    EXPECT_EQ(requests[1].wIndex, 0x0400);

    // A descriptor without a VideoControl header leaves the table's own numbers.
    auto bare = std::make_shared<FakeUsbCamera>(
        kOtherLocation, std::vector<uint8_t>{9, 2, 9, 0, 0, 1, 0, 0x80, 50});
    bare->setControl(3, 0x02, {-64, 64, 0});
    control->releaseControl();
    auto other = makeControl({bare});
    ASSERT_TRUE(other->initWithLocationID(kOtherLocation));
    ASSERT_TRUE(other->setBrightness(0.5f));
    EXPECT_EQ(bare->requests().back().wIndex, 0x0300);
}

TEST(UVCCameraControlTest, RequestsCarryTheVideoControlInterfaceNumber)
{
    auto direct = makeCamera(kLocation, false);
    direct->interfaceNumber = 2;
    auto bridged = makeBridgedCamera(kOtherLocation, false);
    bridged->interfaceNumber = 2;
    auto control = makeControl({direct, bridged});

    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    ASSERT_TRUE(control->setBrightness(0.75f));
    EXPECT_EQ(direct->requests().back().wIndex, 0x0302);
    EXPECT_EQ(direct->control(3, 0x02).cur, 32);

    control->releaseControl();
    ASSERT_TRUE(control->initWithLocationID(kOtherLocation));
    control->getDefaultValue();
    ASSERT_TRUE(control->setBrightness(0.75f));
    EXPECT_EQ(bridged->v4l2->control(V4L2_CID_BRIGHTNESS).value, 32);
}

TEST(UVCCameraControlTest, ACameraThatStopsAnsweringIsNotAskedFifteenTimesAtTheOpen)
{
    auto camera = makeCamera(kLocation, false, {0, 51, -90, 100, 7});
    auto control = makeControl({camera});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    camera->setControl(3, 0x08, {0, 7, 3, UsbError::kTimeout}); // sharpness, read first
    camera->clearRequests();
    ScopedLogCapture log;
    control->getDefaultValue();
    EXPECT_EQ(camera->requests().size(), 1u) << "the other 14 reads would time out as well";
    EXPECT_FLOAT_EQ(control->getBrightness(), 0.0f);
    EXPECT_FLOAT_EQ(control->getSaturation(), 0.0f);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().back(),
              "CameraControl Error: the camera does not answer; its picture reads as 0");

    // A camera that answers again is read in full; a refusal is no timeout.
    camera->setControl(3, 0x08, {0, 7, 3, UsbError::kPipe});
    camera->clearRequests();
    control->getDefaultValue();
    EXPECT_EQ(camera->requests().size(), 15u);
    EXPECT_FLOAT_EQ(control->getSaturation(), 1.0f);
}

TEST(UVCCameraControlTest, EachControlKeepsItsOwnTable)
{
    auto camera = makeCamera(kLocation, false);
    camera->setControl(3, 0x02, {-64, 64, 32});
    auto control = makeControl({camera});
    auto idle = makeControl({});
    ASSERT_TRUE(control->initWithLocationID(kLocation));
    control->getDefaultValue();
    EXPECT_EQ(control->controlTable().brightness.min, -64);
    EXPECT_FLOAT_EQ(control->controlTable().brightness.defaultValue, 0.75f);
    // The other control read nothing: its table is still the starting one.
    EXPECT_EQ(idle->controlTable().brightness.min, 0);
    EXPECT_EQ(idle->controlTable().brightness.max, 0);
    EXPECT_FLOAT_EQ(idle->controlTable().brightness.defaultValue, -1.0f);
    control->releaseControl();
}
