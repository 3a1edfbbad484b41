#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// Builds USB configuration descriptors of video cameras byte by byte for the tests.
class DescriptorBuilder
{
public:
    DescriptorBuilder &interface(uint8_t number, uint8_t alternate, uint8_t subclass,
                                 uint8_t cls = 0x0E)
    {
        return add({9, 0x04, number, alternate, 1, cls, subclass, 0, 0});
    }
    DescriptorBuilder &vcHeader(uint16_t bcdUVC, uint32_t clock)
    {
        return add({13, 0x24, 0x01, lo(bcdUVC), hi(bcdUVC), 0x33, 0, b0(clock), b1(clock),
                    b2(clock), b3(clock), 1, 1});
    }
    // A camera terminal with a three-byte bmControls.
    DescriptorBuilder &inputTerminal(uint8_t id, uint32_t controls)
    {
        return add({18, 0x24, 0x02, id, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, b0(controls),
                    b1(controls), b2(controls)});
    }
    DescriptorBuilder &processingUnit(uint8_t id, uint16_t controls)
    {
        return add({11, 0x24, 0x05, id, 1, 0, 0, 2, lo(controls), hi(controls), 0});
    }
    DescriptorBuilder &outputTerminal(uint8_t id)
    {
        return add({9, 0x24, 0x03, id, 1, 1, 0, 2, 0});
    }
    DescriptorBuilder &inputHeader(uint8_t formats, uint8_t trigger,
                                   std::vector<uint8_t> controls = {})
    {
        std::vector<uint8_t> d = {static_cast<uint8_t>(13 + controls.size()),
                                  0x24,
                                  0x01,
                                  formats,
                                  0,
                                  0,
                                  0x81,
                                  0,
                                  3,
                                  2,
                                  trigger,
                                  0,
                                  1};
        d.insert(d.end(), controls.begin(), controls.end());
        return add(d);
    }
    DescriptorBuilder &uncompressedFormat(uint8_t index, uint8_t frames, uint8_t bitsPerPixel = 16)
    {
        std::vector<uint8_t> d = {27, 0x24, 0x04, index, frames};
        d.insert(d.end(), 16, 0x59); // GUID
        d.insert(d.end(), {bitsPerPixel, 1, 0, 0, 0, 0});
        return add(d);
    }
    DescriptorBuilder &mjpegFormat(uint8_t index, uint8_t frames)
    {
        return add({11, 0x24, 0x06, index, frames, 1, 1, 0, 0, 0, 0});
    }
    DescriptorBuilder &frame(uint8_t index, uint16_t width, uint16_t height,
                             std::vector<uint32_t> intervals, uint8_t subtype = 0x05)
    {
        std::vector<uint8_t> d =
            frameStart(subtype, index, width, height, static_cast<uint8_t>(intervals.size()));
        for (uint32_t i : intervals)
            d.insert(d.end(), {b0(i), b1(i), b2(i), b3(i)});
        d[0] = static_cast<uint8_t>(d.size());
        return add(d);
    }
    DescriptorBuilder &continuousFrame(uint8_t index, uint16_t width, uint16_t height, uint32_t min,
                                       uint32_t max, uint32_t step)
    {
        std::vector<uint8_t> d = frameStart(0x05, index, width, height, 0);
        for (uint32_t i : {min, max, step})
            d.insert(d.end(), {b0(i), b1(i), b2(i), b3(i)});
        d[0] = static_cast<uint8_t>(d.size());
        return add(d);
    }
    DescriptorBuilder &colorFormat(uint8_t primaries, uint8_t transfer, uint8_t matrix)
    {
        return add({6, 0x24, 0x0D, primaries, transfer, matrix});
    }
    DescriptorBuilder &endpoint(uint8_t address, uint8_t attributes, uint16_t maxPacket)
    {
        return add({7, 0x05, address, attributes, lo(maxPacket), hi(maxPacket), 1});
    }
    DescriptorBuilder &raw(std::vector<uint8_t> bytes) { return add(bytes); }

    // The configuration descriptor in front, wTotalLength set to the whole length.
    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> all = {9, 0x02, 0, 0, 2, 1, 0, 0x80, 250};
        all.insert(all.end(), m_body.begin(), m_body.end());
        all[2] = lo(static_cast<uint16_t>(all.size()));
        all[3] = hi(static_cast<uint16_t>(all.size()));
        return all;
    }

private:
    static uint8_t lo(uint16_t v) { return static_cast<uint8_t>(v); }
    static uint8_t hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
    static uint8_t b0(uint32_t v) { return static_cast<uint8_t>(v); }
    static uint8_t b1(uint32_t v) { return static_cast<uint8_t>(v >> 8); }
    static uint8_t b2(uint32_t v) { return static_cast<uint8_t>(v >> 16); }
    static uint8_t b3(uint32_t v) { return static_cast<uint8_t>(v >> 24); }

    static std::vector<uint8_t> frameStart(uint8_t subtype, uint8_t index, uint16_t width,
                                           uint16_t height, uint8_t intervalType)
    {
        const uint32_t rate = 1000000, buffer = static_cast<uint32_t>(width) * height * 2,
                       def = 333333;
        return {0,
                0x24,
                subtype,
                index,
                0,
                lo(width),
                hi(width),
                lo(height),
                hi(height),
                b0(rate),
                b1(rate),
                b2(rate),
                b3(rate),
                b0(rate * 2),
                b1(rate * 2),
                b2(rate * 2),
                b3(rate * 2),
                b0(buffer),
                b1(buffer),
                b2(buffer),
                b3(buffer),
                b0(def),
                b1(def),
                b2(def),
                b3(def),
                intervalType};
    }

    DescriptorBuilder &add(const std::vector<uint8_t> &d)
    {
        m_body.insert(m_body.end(), d.begin(), d.end());
        return *this;
    }

    std::vector<uint8_t> m_body;
};
