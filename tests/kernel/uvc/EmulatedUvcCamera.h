#pragma once

#include "UvcConfiguration.h"
#include "UvcControlTable.h"
#include "UvcPayloadWriter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace varnolet::test {

// A USB 2.0 UVC camera made in software and plugged into the kernel through USB/IP: it hands
// one end of a stream socket to vhci_hcd and answers the kernel's USB requests on the other
// end, so that uvcvideo binds to it as to a real camera. It serves any configuration
// descriptor of a UVC camera (its own default one or a real camera's bytes): the device
// descriptor to match (composite with IAD where the configuration has one), the standard
// requests with alternate settings, probe/commit sized by the UVC version, the controls its
// units declare (stored values; a stall for anything else), frames of UvcTestPattern for
// every YUYV and MJPEG frame on bulk or isochronous video endpoints (a declared format it
// cannot picture stalls the commit), and on command snapshot-button status packets and an
// unplug. Test use only.
class EmulatedUvcCamera
{
public:
    struct Options
    {
        std::vector<uint8_t> configuration; // empty: UvcDescriptorBuilder's default camera
        uint16_t vendorId = 0x1209;
        uint16_t productId = 0x0001;
        std::string manufacturer = "Varnolet Test";
        std::string product = "Emulated Microscope";
        std::string serial = "0001";
        std::string vhciFolder = "/sys/devices/platform/vhci_hcd.0";
        // Frames never come faster than this (100 ns units): the rig's emulated CPU.
        uint32_t minimumFrameInterval = 100000;
    };
    // The camera's value of a control of its own (camera terminal / processing unit).
    struct ControlState
    {
        int32_t value = 0;
        int setCount = 0;
    };
    struct Commit
    {
        uint8_t interfaceNumber = 0;
        uint8_t formatIndex = 0;
        uint8_t frameIndex = 0;
        uint32_t interval = 0;
        int count = 0; // commits so far on that interface
    };

    explicit EmulatedUvcCamera(Options options);
    ~EmulatedUvcCamera();
    EmulatedUvcCamera(const EmulatedUvcCamera &) = delete;
    EmulatedUvcCamera &operator=(const EmulatedUvcCamera &) = delete;

    // Bad descriptors: the reason (then plug() refuses).
    const std::string &configurationError() const { return m_configError; }
    const UvcConfiguration &configuration() const { return m_config; }

    // Attaches to a free high-speed port of vhci_hcd. 0, or a negative errno with error.
    int plug(std::string &error);
    // Serves USB/IP on a connected stream socket already handed to a host (tests of the
    // camera itself play the host); takes the descriptor.
    int serveSocket(int socketFd);
    // Detaches (an unplug as the kernel sees it) and ends the serving thread.
    void unplug();
    bool isPlugged() const { return m_thread.joinable() && !m_ended; }
    int port() const { return m_port; }

    // Status packets of the snapshot button on the status endpoint.
    void button(bool pressed);

    // What the camera saw, for the tests' checks.
    std::optional<ControlState> controlState(uint8_t entity, uint8_t selector) const;
    std::optional<Commit> lastCommit(uint8_t interfaceNumber) const;
    uint64_t framesSent(uint8_t interfaceNumber) const;
    int stalls() const { return m_stalls; }
    // The alternate setting the host chose for that interface.
    uint8_t alternateSetting(uint8_t interfaceNumber) const;
    // Unlinks answered while the transfer was still held (-ECONNRESET).
    int unlinks() const { return m_unlinks; }
    int statusPacketsSent() const { return m_statusSent; }

private:
    struct Control
    {
        UvcControlRange range;
        ControlState state;
        std::vector<uint8_t> raw; // the bytes of a several-field control
    };
    struct Pending
    {
        uint32_t seqnum = 0;
        uint32_t length = 0;
        uint32_t startFrame = 0;
        std::vector<UvcPayloadWriter::IsoPacket> packets; // isochronous transfers
    };
    struct Stream
    {
        const UvcConfiguration::Streaming *config = nullptr;
        std::vector<uint8_t> probe;
        std::vector<uint8_t> committedControl;
        Commit commit;
        bool committed = false;
        uint8_t alternate = 0;
        const UvcConfiguration::Format *format = nullptr;
        const UvcConfiguration::Frame *frame = nullptr;
        uint32_t frameNumber = 0;
        UvcPayloadWriter writer;
        bool fid = false;
        std::chrono::steady_clock::time_point nextFrame;
        std::deque<Pending> pending;
        uint64_t sent = 0;
    };

    void setUpControls();
    void serve();
    bool handleMessage();
    void reply(uint32_t seqnum, int status, const uint8_t *data, size_t length);
    void replyUnlink(uint32_t seqnum, int status);
    int control(const uint8_t setup[8], const std::vector<uint8_t> &out, std::vector<uint8_t> &in);
    int standardRequest(const uint8_t setup[8], std::vector<uint8_t> &in);
    int unitRequest(uint8_t entity, uint8_t selector, uint8_t request,
                    const std::vector<uint8_t> &out, std::vector<uint8_t> &in, uint16_t length);
    int streamingRequest(Stream &stream, uint8_t selector, uint8_t request,
                         const std::vector<uint8_t> &out, std::vector<uint8_t> &in,
                         uint16_t length);
    std::vector<uint8_t> negotiate(Stream &stream, const std::vector<uint8_t> &wanted) const;
    int commit(Stream &stream);
    bool streaming(const Stream &stream) const;
    void startFrame(Stream &stream);
    void finishFrame(Stream &stream);
    void serveVideo(Stream &stream);
    void serveIsochronous(Stream &stream);
    void replyIso(const Pending &urb, const std::vector<uint8_t> &data);
    void serveStatus();
    Stream *streamForEndpoint(uint8_t endpoint);
    std::vector<uint8_t> deviceDescriptor() const;
    std::vector<uint8_t> stringDescriptor(uint8_t index) const;

    Options m_options;
    std::vector<uint8_t> m_descriptors;
    UvcConfiguration m_config;
    std::string m_configError;

    // Unlinks of transfers not submitted yet: target seqnum -> the unlink's seqnum (serving
    // thread only).
    std::map<uint32_t, uint32_t> m_unlinksAhead;
    uint32_t m_lastSubmit = 0;
    bool m_anySubmit = false;

    int m_socket = -1;
    int m_wake = -1; // eventfd: commands are waiting
    int m_port = -1;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_unplugRequested{false};

    mutable std::mutex m_lock;              // guards everything below
    std::map<uint16_t, Control> m_controls; // entity << 8 | selector
    std::vector<Stream> m_streams;
    std::deque<Pending> m_statusPending;
    std::deque<Pending> m_heldPending; // IN transfers on endpoints with nothing to send
    std::map<uint8_t, uint8_t> m_alternates;
    uint8_t m_configurationValue = 0;
    std::deque<std::vector<uint8_t>> m_statusQueue;
    uint8_t m_requestError = 0;
    std::atomic<int> m_stalls{0};
    std::atomic<int> m_statusSent{0};
    std::atomic<int> m_unlinks{0};
};

} // namespace varnolet::test
