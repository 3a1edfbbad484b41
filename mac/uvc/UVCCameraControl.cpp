#include "UVCCameraControl.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "mac/core/AppControllerSettings.h"
#include "mac/core/SystemLog.h"
#include "mac/uvc/CameraRequestQueue.h"
#include "mac/uvc/LibusbBackend.h"
#include "mac/uvc/UsbBusWithVirtualCameras.h"
#include "mac/uvc/UsbRunLoop.h"
#include "platform/system/Clock.h"
#include "platform/system/ThreadName.h"

namespace {

constexpr uint8_t kRequestTypeGet = 0xA1; // class, interface, device-to-host
constexpr uint8_t kRequestTypeSet = 0x21; // class, interface, host-to-device
constexpr uint8_t kSetCur = 0x01;
constexpr uint8_t kGetCur = 0x81;
constexpr uint8_t kGetMin = 0x82;
constexpr uint8_t kGetMax = 0x83;
constexpr uint32_t kInterruptBufferLength = 100;
constexpr double kTriggerGuardMs = 100.0;

constexpr uvc_controls_t kInitialControls = {
    {1, 0x02, 1, -1.0f, 0, 0, 0}, // autoExposure: CT_AE_MODE_CONTROL
    {1, 0x04, 4, -1.0f, 0, 0, 0}, // exposure: CT_EXPOSURE_TIME_ABSOLUTE_CONTROL
    {3, 0x02, 2, -1.0f, 0, 0, 0}, // brightness
    {3, 0x03, 2, -1.0f, 0, 0, 0}, // contrast
    {3, 0x06, 2, -1.0f, 0, 0, 0}, // gain: the hue control
    {3, 0x07, 2, -1.0f, 0, 0, 0}, // saturation
    {3, 0x08, 2, -1.0f, 0, 0, 0}, // sharpness
    {3, 0x0A, 2, -1.0f, 0, 0, 0}, // whiteBalance: white balance temperature
    {3, 0x0B, 1, -1.0f, 0, 0, 0}, // autoWhiteBalance
};

uint32_t hex(int32_t code)
{
    return static_cast<uint32_t>(code);
}

} // namespace

UVCCameraControl::UVCCameraControl(std::shared_ptr<const varnolet::Clock> clock,
                                   varnolet::VirtualCameraHub &hub)
    : UVCCameraControl(
          std::make_unique<UsbBusWithVirtualCameras>(std::make_unique<LibusbBackend>(), hub),
          std::move(clock), PanelRequests::OnRequestThread)
{
}

UVCCameraControl::UVCCameraControl(std::unique_ptr<UsbBackend> backend,
                                   std::shared_ptr<const varnolet::Clock> clock,
                                   PanelRequests panelRequests)
    : mBackend(std::move(backend))
    , m_clock(std::move(clock))
    , uvc_controls(kInitialControls)
{
    if (!m_clock)
        throw std::invalid_argument("UVCCameraControl needs a clock");
    if (panelRequests == PanelRequests::OnRequestThread)
        mPanelRequests = std::make_unique<CameraRequestQueue>();
    setMemberDefaultValue();
}

UVCCameraControl::~UVCCameraControl()
{
    releaseControl();
}

void UVCCameraControl::setMemberDefaultValue()
{
    interface.reset();
    mBuffer.reset();
    mBufferLength = 0;
    mStateReadingInterruptThread_ = 2;
    mHaveBeenOpenInterface_ = false;
    mInputPipe_ = 0xFF;
    mIsSupportHandWareTrigger_ = false;
    mAppController_ = nullptr;
    {
        std::lock_guard lock(mLoopLock);
        mCurrentLoop.reset();
        mStopRequested = false;
    }
    mReadingInterruptThreadStartTime_ = 0;
}

double UVCCameraControl::getCurrentMiliseseconds() const
{
    const auto since1970 = m_clock->wallNow().time_since_epoch();
    return std::chrono::duration<double>(since1970).count() * 1000.0;
}

// ---- Opening and closing ----

void UVCCameraControl::stopReader()
{
    {
        std::lock_guard lock(mLoopLock);
        mStopRequested = true;
        if (mCurrentLoop)
            mCurrentLoop->stop();
    }
    if (mReaderThread.joinable())
        mReaderThread.join();
}

void UVCCameraControl::dropPanelRequests()
{
    // What was asked of the camera being closed no longer matters; the request that runs
    // still uses the interface, so it ends first.
    if (mPanelRequests)
        mPanelRequests->cancelAndWait();
}

void UVCCameraControl::releaseControl()
{
    dropPanelRequests();
    stopReader();
    if (interface) {
        interface->close();
        interface.reset();
    }
    mBuffer.reset();
    setMemberDefaultValue();
}

void UVCCameraControl::clearDefaultValue()
{
    for (uvc_control_info_t *control :
         {&uvc_controls.brightness, &uvc_controls.contrast, &uvc_controls.gain,
          &uvc_controls.saturation, &uvc_controls.sharpness})
        control->defaultValue = -1.0f;
}

bool UVCCameraControl::initWithLocationID(uint32_t locationId)
{
    dropPanelRequests();
    // A reader still running would be left with a dropped interface: stop it first.
    if (mReaderThread.joinable())
        releaseControl();
    if (interface) {
        interface->close();
        interface.reset();
    }
    mHaveBeenOpenInterface_ = false;

    std::unique_ptr<UsbDevice> found;
    const size_t count = mBackend ? mBackend->enumerateDevices() : 0;
    for (size_t i = 0; i < count; ++i) {
        std::unique_ptr<UsbDevice> device;
        const int32_t code = mBackend->openDevice(i, device);
        if (code != 0 || !device) {
            SystemLog::write(
                "CameraControl Error: IOCreatePlugInInterfaceForService returned 0x%08x.",
                hex(code));
            continue;
        }
        uint32_t location = 0;
        if (device->getLocationID(location) == 0 && location == locationId) {
            found = std::move(device);
            break;
        }
    }
    if (!found)
        return false;

    mPixelsArray.clear();
    getMaxResolution(*found);
    interface = getControlInferaceWithDeviceInterface(*found);
    return true;
}

void UVCCameraControl::getMaxResolution(UsbDevice &device)
{
    mIsSupportHandWareTrigger_ = false;
    mTerminalUnitId = 0;
    mProcessingUnitId = 0;
    uint8_t configurations = 0;
    if (device.getNumberOfConfigurations(configurations) != 0 || configurations == 0)
        return;
    std::vector<uint8_t> bytes;
    if (device.getConfigurationDescriptor(bytes) != 0)
        return;
    mIsSupportHandWareTrigger_ = mPixelsArray.getMaxResolution(bytes.data(), bytes.size());
    mTerminalUnitId = mPixelsArray.terminalUnitId();
    mProcessingUnitId = mPixelsArray.processingUnitId();
}

uint16_t UVCCameraControl::requestIndex(uint32_t unit) const
{
    uint8_t number = 0;
    if (!interface || interface->getInterfaceNumber(number) != 0)
        number = 0;
    return static_cast<uint16_t>(entityFor(unit) << 8 | number);
}

uint32_t UVCCameraControl::entityFor(uint32_t unit) const
{
    // Cameras number their entities freely; a request to the table's fixed number would
    // reach another entity, or none, on a camera that numbers them otherwise.
    if (unit == uvc_controls.brightness.unit && mProcessingUnitId)
        return mProcessingUnitId;
    if (unit == uvc_controls.autoExposure.unit && mTerminalUnitId)
        return mTerminalUnitId;
    return unit;
}

std::unique_ptr<UsbInterface>
UVCCameraControl::getControlInferaceWithDeviceInterface(UsbDevice &device)
{
    std::unique_ptr<UsbInterface> found;
    const int32_t code = device.getVideoControlInterface(found);
    if (code != 0) {
        SystemLog::write("CameraControl Error: Unable to create a plug-in (%08x)\n", hex(code));
        return nullptr;
    }
    return found;
}

std::vector<CaptureResolution> UVCCameraControl::getPixelsArray() const
{
    return mPixelsArray.getPixelsArray();
}

void UVCCameraControl::setAppController(HardwareTriggerListener *controller)
{
    mAppController_ = controller;
}

// ---- Requests ----

bool UVCCameraControl::sendControlRequest(UsbControlRequest &request)
{
    // The adjust panel's requests and the controller's come from two threads; each opens
    // and closes the interface around itself.
    std::lock_guard serial(mRequestLock);
    if (!interface) {
        SystemLog::write("CameraControl Error: No interface to send request");
        return false;
    }
    if (!mHaveBeenOpenInterface_) {
        const int32_t code = interface->open();
        if (code != 0) {
            SystemLog::write("CameraControl Error: Unable to open interface (%08x)\n", hex(code));
            return false;
        }
    }
    {
        std::lock_guard lock(mLock);
        const int32_t code = interface->controlRequest(request);
        if (code == UsbError::kTimeout || code == -ETIMEDOUT)
            mTimedOut = true;
        if (code != 0) {
            // An interface the snapshot reader holds open stays open for its pending read.
            if (!mHaveBeenOpenInterface_)
                interface->close();
            SystemLog::write("CameraControl Error: Control request failed: %08x", hex(code));
            return false;
        }
    }
    if (!mHaveBeenOpenInterface_)
        interface->close();
    return true;
}

int UVCCameraControl::getDataFor(uint8_t request, uint32_t length, uint32_t selector, uint32_t unit)
{
    // Reading the picture of a camera that stopped answering: the reads left would each
    // wait as long again and read 0 as well.
    if (mReadingPicture && mTimedOut)
        return 0;
    uint8_t data[4] = {0, 0, 0, 0};
    UsbControlRequest control;
    control.bmRequestType = kRequestTypeGet;
    control.bRequest = request;
    control.wValue = static_cast<uint16_t>(selector << 8);
    control.wIndex = requestIndex(unit);
    control.wLength = static_cast<uint16_t>(std::min<uint32_t>(length, sizeof data));
    control.pData = data;
    if (!sendControlRequest(control))
        return 0;
    return static_cast<int16_t>(data[0] | data[1] << 8);
}

bool UVCCameraControl::setData(int32_t value, uint32_t length, uint32_t selector, uint32_t unit)
{
    const auto raw = static_cast<uint32_t>(value);
    uint8_t data[4] = {static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                       static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 24)};
    UsbControlRequest control;
    control.bmRequestType = kRequestTypeSet;
    control.bRequest = kSetCur;
    control.wValue = static_cast<uint16_t>(selector << 8);
    control.wIndex = requestIndex(unit);
    control.wLength = static_cast<uint16_t>(std::min<uint32_t>(length, sizeof data));
    control.pData = data;
    return sendControlRequest(control);
}

float UVCCameraControl::getUsbNeedingValue(float value, int maxValue, int minValue)
{
    return static_cast<float>(minValue) + static_cast<float>(maxValue - minValue) * value;
}

float UVCCameraControl::getUiNeedingValue(float value, int maxValue, int minValue)
{
    if (maxValue == minValue)
        return 0.0f;
    return (value - static_cast<float>(minValue)) / static_cast<float>(maxValue - minValue);
}

bool UVCCameraControl::setValue(float value, const uvc_control_info_t &control)
{
    const float mapped = getUsbNeedingValue(value, control.max, control.min);
    // Truncation towards zero; a value outside int's range (a bad input) is refused.
    if (!std::isfinite(mapped) || std::fabs(mapped) >= 2147483648.0f)
        return false;
    return setData(static_cast<int32_t>(mapped), control.size, control.selector, control.unit);
}

float UVCCameraControl::getValueForControl(const uvc_control_info_t &control)
{
    const int value = getDataFor(kGetCur, control.size, control.selector, control.unit);
    return getUiNeedingValue(static_cast<float>(value), control.max, control.min);
}

void UVCCameraControl::getRangeFromUsb(uvc_control_info_t &control)
{
    control.min =
        static_cast<int16_t>(getDataFor(kGetMin, control.size, control.selector, control.unit));
    control.max =
        static_cast<int16_t>(getDataFor(kGetMax, control.size, control.selector, control.unit));
}

void UVCCameraControl::getDefaultValue()
{
    mTimedOut = false;
    mReadingPicture = true;
    getRangeFromUsb(uvc_controls.sharpness);
    getRangeFromUsb(uvc_controls.saturation);
    getRangeFromUsb(uvc_controls.contrast);
    getRangeFromUsb(uvc_controls.brightness);
    getRangeFromUsb(uvc_controls.gain);

    sharpness = getValueForControl(uvc_controls.sharpness);
    saturation = getValueForControl(uvc_controls.saturation);
    contrast = getValueForControl(uvc_controls.contrast);
    brightness = getValueForControl(uvc_controls.brightness);
    gain = getValueForControl(uvc_controls.gain);
    mReadingPicture = false;
    if (mTimedOut)
        SystemLog::write("CameraControl Error: the camera does not answer; its picture reads as 0");

    const AdjustField fields[] = {AdjustField::Brightness, AdjustField::Hub,
                                  AdjustField::Saturation, AdjustField::Contrast,
                                  AdjustField::Sharpness};
    if (mAdjustView) {
        for (AdjustField field : fields)
            mAdjustView->setSliderValue(field, valueFor(field));
        for (AdjustField field : fields)
            mAdjustView->setTextValue(field, valueFor(field));
    }

    const std::pair<uvc_control_info_t *, float> read[] = {{&uvc_controls.sharpness, sharpness},
                                                           {&uvc_controls.saturation, saturation},
                                                           {&uvc_controls.contrast, contrast},
                                                           {&uvc_controls.brightness, brightness},
                                                           {&uvc_controls.gain, gain}};
    for (const auto &[control, value] : read) {
        if (control->defaultValue == -1.0f)
            control->defaultValue = value;
        control->previous = value;
    }
}

void UVCCameraControl::changedLanuage(const AppControllerSettings &controller, int /*lanuageIndex*/)
{
    if (!mAdjustView)
        return;
    CameraAdjustTexts texts;
    texts.labBrightness = controller.myNSLocationString("ui_adjust_lab_brightness", "Brightness:");
    texts.labHub = controller.myNSLocationString("ui_adjust_lab_hub", "Hub:");
    texts.labSaturation = controller.myNSLocationString("ui_adjust_lab_saturation", "Saturation:");
    texts.labSharpness = controller.myNSLocationString("ui_adjust_lab_sharpness", "Sharpness:");
    texts.labContrast = controller.myNSLocationString("ui_adjust_lab_contrast", "Contrast:");
    texts.btnOk = controller.myNSLocationString("ui_adjust_btn_ok", "Ok");
    texts.btnCancel = controller.myNSLocationString("ui_adjust_btn_cancel", "Cancel");
    texts.btnSetDefault = controller.myNSLocationString("ui_adjust_btn_setdefault", "Set Default");
    texts.title = controller.myNSLocationString("ui_dlg_adjust", "Camera Adjustment");
    mAdjustView->setTexts(texts);
}

// ---- Snapshot reader ----

void UVCCameraControl::setReaderState(uint8_t state)
{
    mStateReadingInterruptThread_ = state;
    mStateReadingInterruptThread_.notify_all();
}

void UVCCameraControl::initReadingInterruptThread()
{
    if (mReaderThread.joinable())
        return; // one reader per open; the next open follows a release
    mBufferLength = kInterruptBufferLength;
    mBuffer = std::make_unique<uint8_t[]>(mBufferLength);
    if (!mIsSupportHandWareTrigger_)
        return;
    {
        std::lock_guard lock(mLoopLock);
        mStopRequested = false;
    }
    mStateReadingInterruptThread_ = 2;
    mReaderThread = std::thread(&UVCCameraControl::readingInterruptsThread, this);
    // The reader says when it is waiting for packets or has given up.
    mStateReadingInterruptThread_.wait(2);
}

void UVCCameraControl::readingInterruptsThread()
{
    varnolet::ThreadName::set("UVCSnapshot");
    if (!interface) {
        SystemLog::write("CameraControl Error: No interface to send request");
        setReaderState(0);
        return;
    }
    const int32_t code = interface->open();
    if (code != 0) {
        SystemLog::write("CameraControl Error: Unable to open interface (%08x)\n", hex(code));
        setReaderState(0);
        return;
    }
    mHaveBeenOpenInterface_ = true;
    mInputPipe_ = 0xFF;

    uint8_t endpoints = 0;
    if (interface->getNumEndpoints(endpoints) == 0) {
        for (unsigned pipe = 1; pipe <= endpoints; ++pipe) {
            UsbPipeProperties properties;
            if (interface->getPipeProperties(static_cast<uint8_t>(pipe), properties) != 0)
                break;
            if (properties.transferType == 3 && properties.direction == 1)
                mInputPipe_ = static_cast<uint8_t>(pipe); // the last interrupt IN pipe wins
        }
    }

    std::shared_ptr<UsbRunLoop> loop = interface->createAsyncEventSource();
    {
        std::lock_guard lock(mLoopLock);
        mCurrentLoop = loop;
        if (mStopRequested)
            loop->stop();
    }
    if (readingInterruptAsync()) {
        mReadingInterruptThreadStartTime_ = getCurrentMiliseseconds();
        setReaderState(1);
        loop->run();
    }
    {
        std::lock_guard lock(mLoopLock);
        mCurrentLoop.reset();
    }
    setReaderState(0);
}

bool UVCCameraControl::readingInterruptAsync()
{
    std::lock_guard lock(mLock);
    const int32_t code = interface->readPipeAsync(mInputPipe_, mBuffer.get(), mBufferLength,
                                                  &UVCCameraControl::ReadInterrupts, this);
    if (code != 0) {
        interface->close();
        mHaveBeenOpenInterface_ = false;
        SystemLog::write("CameraControl Error: Control request failed: %08x", hex(code));
        return false;
    }
    return true;
}

void UVCCameraControl::ReadInterrupts(void *context, int32_t /*result*/, uint32_t bytes)
{
    auto *self = static_cast<UVCCameraControl *>(context);
    if (bytes != 4)
        return; // the reader stays idle until the next release
    const uint8_t *packet = self->mBuffer.get();
    if ((packet[0] & 7) == 2 && packet[3] == 0 && packet[2] == 0) {
        HardwareTriggerListener *controller = self->mAppController_;
        if (controller &&
            self->getCurrentMiliseseconds() - self->mReadingInterruptThreadStartTime_ >
                kTriggerGuardMs)
            controller->setMIsHandwareTrigger(true);
    }
    if (!self->readingInterruptAsync()) {
        std::lock_guard lock(self->mLoopLock);
        if (self->mCurrentLoop)
            self->mCurrentLoop->stop();
    }
}
