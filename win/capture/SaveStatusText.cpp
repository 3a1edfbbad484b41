#include "SaveStatusText.h"

#include "platform/system/SystemError.h"

#include <array>

std::string SaveStatusText(int status, int systemError)
{
    static const std::array<const char *, 21> kTexts = {
        "Ok: Indicates that the method call was successful.",
        "GenericError: Indicates that there was an error on the method call, which is identified "
        "as something other than those defined by the other elements of this enumeration.",
        "InvalidParameter: Indicates that one of the arguments passed to the method was not valid.",
        "OutOfMemory: Indicates that the operating system is out of memory and could not allocate "
        "memory to process the method call.",
        "ObjectBusy: Indicates that one of the arguments specified in the API call is already in "
        "use in another thread.",
        "InsufficientBuffer: Indicates that a buffer specified as an argument in the API call is "
        "not large enough to hold the data to be received.",
        "NotImplemented: Indicates that the method is not implemented.",
        "Win32Error: Indicates that the method generated a Win32 error.",
        "WrongState: Indicates that the object is in an invalid state to satisfy the API call.",
        "Aborted: Indicates that the method was aborted.",
        "FileNotFound: Indicates that the specified image file or metafile cannot be found.",
        "ValueOverflow: Indicates that the method performed an arithmetic operation that produced "
        "a numeric overflow.",
        "AccessDenied: Indicates that a write operation is not allowed on the specified file.",
        "UnknownImageFormat: Indicates that the specified image file format is not known.",
        "FontFamilyNotFound: Indicates that the specified font family cannot be found.",
        "FontStyleNotFound: Indicates that the specified style is not available for the specified "
        "font family.",
        "NotTrueTypeFont: Indicates that the font retrieved from an HDC or LOGFONT is not a "
        "TrueType font and cannot be used.",
        "UnsupportedGdiplusVersion: Indicates that the version of the imaging library that is "
        "installed on the system is incompatible with the version with which the application was "
        "compiled.",
        "GdiplusNotInitialized: Indicates that the imaging library is not in an initialized state.",
        "PropertyNotFound: Indicates that the specified property does not exist in the image.",
        "PropertyNotSupported: Indicates that the specified property is not supported by the "
        "format of the image and, therefore, cannot be set.",
    };
    if (status == static_cast<int>(varnolet::ImageStatus::SystemError))
        return varnolet::SystemError::text(systemError);
    if (status < 0 || status >= static_cast<int>(kTexts.size()))
        return "Invalid status: Indicates an unknown status was returned.";
    return kTexts[static_cast<size_t>(status)];
}
