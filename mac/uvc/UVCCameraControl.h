#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mac/uvc/CameraAdjustView.h"
#include "mac/core/CameraControl.h"
#include "mac/uvc/UVCResolutionList.h"
#include "mac/uvc/UsbDevice.h"

namespace varnolet {
class Clock;
class VirtualCameraHub;
} // namespace varnolet

class CameraRequestQueue;
class UsbRunLoop;

// One picture control of the camera: where its requests go, its range as last read and
// the values the adjust panel's Cancel and Set Default go back to.
struct uvc_control_info_t
{
    uint32_t unit;
    uint32_t selector;
    uint32_t size;      // wLength of its requests
    float defaultValue; // 0..1; -1 while none has been captured
    float previous;     // 0..1
    int16_t min;
    int16_t max;
};

// A camera control's table of its picture controls.
struct uvc_controls_t
{
    uvc_control_info_t autoExposure;
    uvc_control_info_t exposure;
    uvc_control_info_t brightness;
    uvc_control_info_t contrast;
    uvc_control_info_t gain; // carries the hue control
    uvc_control_info_t saturation;
    uvc_control_info_t sharpness;
    uvc_control_info_t whiteBalance;
    uvc_control_info_t autoWhiteBalance;
};

// The camera's USB Video Class picture controls: found on the USB bus by the location the
// capture side shows, its VideoControl interface driven with class control requests. Five
// picture properties on a 0..1 scale for the adjust panel, the values read at the open for
// Cancel and Set Default, the resolution list and the snapshot-button reader.
//
// Threads: everything runs on the main thread except the snapshot reader, which shares
// the interface, and, with a request thread, the adjust panel's requests; mLock serialises
// a control request against queueing a read, mRequestLock one request against another.
class UVCCameraControl final : public CameraControl
{
public:
    // Where the adjust panel's requests (its sliders and fields, Cancel and Set Default)
    // are sent: on the caller's thread, or on a thread of their own so that a slow camera
    // never holds up the window; what the camera accepted is then stored and shown when
    // the answer is back on the main thread.
    enum class PanelRequests { OnCallingThread, OnRequestThread };

    // The real USB bus and the hub's virtual cameras when any is plugged, the panel's
    // requests on their own thread; the hub outlives the control.
    // The clock times the snapshot button's guard after the reader starts; it must not be
    // null (std::invalid_argument).
    UVCCameraControl(std::shared_ptr<const varnolet::Clock> clock, varnolet::VirtualCameraHub &hub);
    UVCCameraControl(std::unique_ptr<UsbBackend> backend,
                     std::shared_ptr<const varnolet::Clock> clock,
                     PanelRequests panelRequests = PanelRequests::OnCallingThread);
    ~UVCCameraControl() override;
    UVCCameraControl(const UVCCameraControl &) = delete;
    UVCCameraControl &operator=(const UVCCameraControl &) = delete;

    // CameraControl
    void releaseControl() override;
    void clearDefaultValue() override;
    bool initWithLocationID(uint32_t locationId) override;
    void getDefaultValue() override;
    std::vector<CaptureResolution> getPixelsArray() const override;
    void setAppController(HardwareTriggerListener *controller) override;
    void initReadingInterruptThread() override;
    void setPreValue() override;
    void setDefaultValue() override;
    void changedLanuage(const AppControllerSettings &controller, int lanuageIndex) override;

    // The adjust panel's outlets (not owned; null for none).
    void setAdjustView(CameraAdjustView *view) { mAdjustView = view; }
    CameraAdjustView *adjustView() const { return mAdjustView; }

    // Setters answer whether the camera accepted the value; only then is it stored.
    bool setBrightness(float value);
    bool setContrast(float value);
    bool setGain(float value);
    bool setSaturation(float value);
    bool setSharpness(float value);
    bool setExposure(float value);
    bool setWhiteBalance(float value);
    bool setAutoExposure(bool on);
    bool setAutoWhiteBalance(bool on);
    float getBrightness() const { return brightness; }
    float getContrast() const { return contrast; }
    float getGain() const { return gain; }
    float getSaturation() const { return saturation; }
    float getSharpness() const { return sharpness; }
    float getExposure() const { return exposure; }
    int getWhiteBalance() const { return whiteBalance; }
    bool getAutoExposure() const { return autoExposure; }
    float getAutoWhiteBalance() const { return autoWhiteBalance; }
    // The property a panel field shows.
    float valueFor(AdjustField field) const;
    bool setValueFor(AdjustField field, float value);
    // The adjust panel's way to set a property: the slider and the field show the value
    // the camera accepted, or go back to the property when it refused.
    void requestValueFor(AdjustField field, float value);
    // Waits until the panel's requests queued so far were sent (false after the timeout);
    // true at once without a request thread.
    bool waitForPanelRequests(std::chrono::milliseconds timeout);

    // Requests and value mapping.
    bool sendControlRequest(UsbControlRequest &request);
    int getDataFor(uint8_t request, uint32_t length, uint32_t selector, uint32_t unit);
    bool setData(int32_t value, uint32_t length, uint32_t selector, uint32_t unit);
    bool setValue(float value, const uvc_control_info_t &control);
    float getValueForControl(const uvc_control_info_t &control);
    void getRangeFromUsb(uvc_control_info_t &control);
    static float getUsbNeedingValue(float value, int maxValue, int minValue);
    static float getUiNeedingValue(float value, int maxValue, int minValue);

    // The snapshot reader.
    void readingInterruptsThread();
    bool readingInterruptAsync();
    static void ReadInterrupts(void *context, int32_t result, uint32_t bytes);
    uint8_t mStateReadingInterruptThread() const { return mStateReadingInterruptThread_; }
    bool mHaveBeenOpenInterface() const { return mHaveBeenOpenInterface_; }
    void setMHaveBeenOpenInterface(bool open) { mHaveBeenOpenInterface_ = open; }
    double mReadingInterruptThreadStartTime() const { return mReadingInterruptThreadStartTime_; }
    void setMReadingInterruptThreadStartTime(double time)
    {
        mReadingInterruptThreadStartTime_ = time;
    }
    uint8_t mInputPipe() const { return mInputPipe_; }
    bool mIsSupportHandWareTrigger() const { return mIsSupportHandWareTrigger_; }
    HardwareTriggerListener *appController() const { return mAppController_; }
    bool hasInterface() const { return interface != nullptr; }
    // The entity a request for a table unit (1 camera terminal, 3 processing unit) goes to:
    // the one the opened camera's descriptor declares, else the table's number.
    uint32_t entityFor(uint32_t unit) const;
    // wIndex of a request to that table unit: the entity, and the VideoControl interface's
    // number in the low byte.
    uint16_t requestIndex(uint32_t unit) const;

    // Milliseconds since 1970-01-01 from the clock passed in.
    double getCurrentMiliseseconds() const;
    // This control's table: the ranges read from its camera and the values Cancel and Set
    // Default go back to. It starts as the program starts, with every instance.
    const uvc_controls_t &controlTable() const { return uvc_controls; }
    uvc_controls_t &controlTable() { return uvc_controls; }

private:
    void setMemberDefaultValue();
    void getMaxResolution(UsbDevice &device);
    std::unique_ptr<UsbInterface> getControlInferaceWithDeviceInterface(UsbDevice &device);
    void stopReader();
    void show(AdjustField field, float value);
    float &property(AdjustField field);
    const uvc_control_info_t &controlOf(AdjustField field) const;
    void dropPanelRequests();
    // The five picture properties to their previous or default values, in the order
    // sharpness, saturation, contrast, brightness, hue.
    void restorePicture(float uvc_control_info_t::*value);

    std::unique_ptr<UsbBackend> mBackend;
    std::shared_ptr<const varnolet::Clock> m_clock;
    uvc_controls_t uvc_controls;

    // Picture properties: the last values the camera accepted.
    bool autoExposure = false;
    float exposure = 0;
    float brightness = 0;
    float contrast = 0;
    float gain = 0;
    float saturation = 0;
    float sharpness = 0;
    int8_t whiteBalance = 0;
    float autoWhiteBalance = 0;

    CameraAdjustView *mAdjustView = nullptr;

    // Changed only on the main thread while no reader runs.
    std::unique_ptr<UsbInterface> interface;
    UVCResolutionList mPixelsArray;
    uint8_t mTerminalUnitId = 0; // from the opened camera's descriptor; 0 for none
    uint8_t mProcessingUnitId = 0;

    // The snapshot reader.
    std::unique_ptr<uint8_t[]> mBuffer;
    uint32_t mBufferLength = 0;
    std::atomic<uint8_t> mStateReadingInterruptThread_{2};
    void setReaderState(uint8_t state); // stores and wakes initReadingInterruptThread
    std::atomic<bool> mHaveBeenOpenInterface_{false};
    uint8_t mInputPipe_ = 0xFF; // written by the reader before it runs its loop
    bool mIsSupportHandWareTrigger_ = false;
    std::atomic<HardwareTriggerListener *> mAppController_{nullptr};
    std::atomic<double> mReadingInterruptThreadStartTime_{0};
    std::thread mReaderThread;

    std::mutex mLoopLock; // guards mCurrentLoop and mStopRequested
    std::shared_ptr<UsbRunLoop> mCurrentLoop;
    bool mStopRequested = false;

    // A request timed out since the picture was last read; while the picture is read, the
    // reads left are then not sent (main thread).
    std::atomic<bool> mTimedOut{false};
    bool mReadingPicture = false;

    std::mutex mLock;        // around every request sent and every read queued
    std::mutex mRequestLock; // around a request with its opening and closing

    // The adjust panel's requests (none: on the caller's thread), and per property the
    // number of the newest one asked for, whose answer alone is shown (main thread).
    std::unique_ptr<CameraRequestQueue> mPanelRequests;
    uint64_t mNewestRequest[5] = {};
};
