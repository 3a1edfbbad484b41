#pragma once

// What the capture graph feeds: the preview frame sink and the still frame sink. The graph
// writes the delivered frame size (and, for the preview sink, the largest size the camera
// offers) before frames flow, then calls BufferCB for every frame on the camera's
// streaming thread. Frames are 24-bit BGR, rows bottom-up, a row exactly 3 x width bytes;
// the buffer belongs to the graph and is valid only during the call.
class IFrameSink
{
public:
    virtual ~IFrameSink() = default;

    // 0, or a negative error code (the graph ignores it, as a sample grabber does).
    virtual long BufferCB(double sampleTime, unsigned char *buffer, long bufferLength) = 0;
    // Size of the frames this sink will receive.
    virtual void SetFrameSize(int width, int height) = 0;
    // Largest size the camera's preview output offers (preview sink only).
    virtual void SetLargestSize(int width, int height) = 0;
    // Any thread: whether the next frame may be needed whole (a photo, a timed shot, a
    // movie frame). While not, the graph may decode the live picture reduced, and such
    // frames never reach the sink.
    virtual bool WantsFullFrames() const { return true; }
};
