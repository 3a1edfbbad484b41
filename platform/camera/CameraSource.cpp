#include "CameraSource.h"

namespace varnolet {

int CameraSource::resetControls()
{
    // Controls that an automatic mode governs go first, while their mode still lets them
    // be set; the modes last. A control inactive now cannot be set (the driver refuses)
    // and is left alone.
    const std::vector<CameraControl> list = controls();
    int result = 0;
    for (const bool modes : {false, true}) {
        for (const CameraControl &control : list) {
            if (control.readOnly || control.inactive ||
                control.type == CameraControl::Type::Button || control.updatesOthers != modes)
                continue;
            const int error = setControl(control.id, control.defaultValue);
            if (error < 0 && result == 0)
                result = error;
        }
    }
    return result;
}

} // namespace varnolet
