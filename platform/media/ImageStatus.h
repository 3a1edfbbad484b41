#pragma once

#include <string>

namespace varnolet {

// Outcome of an image operation. The numbers follow the status numbering of the common
// desktop imaging libraries, so a caller that shows status texts maps them one to one.
enum class ImageStatus : int {
    Ok = 0,
    GenericError = 1,     // the JPEG library refused the data or failed
    InvalidParameter = 2, // empty buffer, bad size
    OutOfMemory = 3,
    SystemError = 7, // file I/O failed; ImageResult::systemError holds the errno
    FileNotFound = 10,
    UnknownImageFormat = 13 // input that is not a decodable image
};

struct ImageResult
{
    ImageStatus status = ImageStatus::Ok;
    int systemError = 0; // errno when status is SystemError
    std::string detail;  // library text for logs

    bool ok() const { return status == ImageStatus::Ok; }
    static ImageResult success() { return {}; }
    static ImageResult failure(ImageStatus status, std::string detail = {}, int systemError = 0)
    {
        return {status, systemError, std::move(detail)};
    }
};

} // namespace varnolet
