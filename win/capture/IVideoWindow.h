#pragma once

// The live picture inside a window of the main window: the owner the capture graph draws
// into. The picture area widget implements it. All calls but PresentFrame come from the UI
// thread.
class IVideoWindow
{
public:
    virtual ~IVideoWindow() = default;

    // Client area of the owner, in pixels.
    virtual void GetClientSize(int &width, int &height) const = 0;
    // Where the picture is drawn inside the client area.
    virtual void SetVideoPosition(int x, int y, int width, int height) = 0;
    // Shows the picture (true) or hides it and forgets the last frame (false).
    virtual void SetVideoVisible(bool visible) = 0;
    // Any thread: the size the picture is painted at (0 x 0 when not known yet).
    virtual void GetShownSize(int &width, int &height) const
    {
        width = 0;
        height = 0;
    }
    // A new frame (bottom-up BGR24), called on the camera's streaming thread: copy it and
    // schedule a repaint; never paint here.
    virtual void PresentFrame(const unsigned char *buffer, int width, int height, long length) = 0;
};
