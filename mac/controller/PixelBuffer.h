#pragma once

#include <memory>

#include "platform/media/BgrImage.h"

// A captured frame as the controller passes it around: 24-bit BGR, rows bottom-up, at the
// pixel-buffer size the capture session was asked for. Holding the reference keeps the
// pixels; the capture thread never writes into a buffer it has handed out.
using PixelBufferRef = std::shared_ptr<const varnolet::BgrImage>;
