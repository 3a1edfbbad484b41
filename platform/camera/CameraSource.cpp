#include "CameraSource.h"

namespace varnolet {

int CameraSource::resetControls()
{
    int result = 0;
    for (const CameraControl &control : controls()) {
        if (control.readOnly || control.type == CameraControl::Type::Button)
            continue;
        const int error = setControl(control.id, control.defaultValue);
        if (error < 0 && result == 0)
            result = error;
    }
    return result;
}

} // namespace varnolet
