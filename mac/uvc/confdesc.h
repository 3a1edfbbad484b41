#pragma once

#include <cstdint>
#include <vector>

#include "mac/uvc/mydata.h"

// When set, the parser traces every descriptor it reads to standard output. Off in the
// program; its few warnings are written whatever this says.
extern bool very_verbose;

// Parser of a USB configuration descriptor for the parts of a USB Video Class function the
// camera control needs: the VideoControl units, the trigger support, the uncompressed
// formats with their frames and the isochronous IN endpoints. Safe for any byte string:
// a descriptor with bLength 0 or one reaching past the end stops the walk, and bytes a
// descriptor does not hold read as 0.
class confdesc
{
public:
    confdesc() = default;
    confdesc(const confdesc &) = delete;
    confdesc &operator=(const confdesc &) = delete;

    // Stores the bytes (not copied, not owned) and walks the whole configuration.
    void initConfdesc(const uint8_t *bytes, uint16_t length);
    // At a VideoControl interface descriptor with len bytes left; answers the bytes used.
    uint16_t parse_videocontrol(const uint8_t *bytes, uint16_t len);
    // At a VideoStreaming interface descriptor; answers the bytes used, or 0 when it stopped
    // at a frame or colour descriptor that came before any input header.
    uint16_t parse_videostream(const uint8_t *bytes, uint16_t len, uint8_t alternate);

    uint8_t num_formats() const { return static_cast<uint8_t>(video_formats_.size()); }
    // The format record at the index; null when the index is not below num_formats().
    const ::video_format_t *getAt(int index) const;
    const std::vector<mydata> &stream_eps() const { return stream_eps_; }

    uint16_t vdc() const { return vdc_; }
    uint8_t terminal_unit_id() const { return terminal_unit_id_; }
    uint8_t processing_unit_id() const { return processing_unit_id_; }
    uint32_t input_terminal_controls() const { return input_terminal_controls_; }
    uint16_t processing_unit_controls() const { return processing_unit_controls_; }
    bool mIsSupportHandwareTrigger() const { return mIsSupportHandwareTrigger_; }
    void setMIsSupportHandwareTrigger(bool on) { mIsSupportHandwareTrigger_ = on; }

    // Alternate setting of the first endpoint whose wMaxPacketSize exceeds size + 64;
    // 0xFF when none does.
    uint8_t alternate_for_size(uint32_t size) const;

private:
    const uint8_t *buffer_ = nullptr;
    uint16_t length_ = 0;
    uint16_t vdc_ = 0;
    uint32_t input_terminal_controls_ = 0;
    uint16_t processing_unit_controls_ = 0;
    uint8_t terminal_unit_id_ = 0;
    uint8_t processing_unit_id_ = 0;
    std::vector<mydata> video_formats_;
    std::vector<mydata> stream_eps_;
    bool mIsSupportHandwareTrigger_ = false;
};
