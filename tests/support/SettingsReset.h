#pragma once

#include "win/common/CSettingParams.h"

// Puts VarnoletWin's process-wide settings back to their first-use state between tests.
inline void ResetSettingsForTest()
{
    CSettingParams::Instance().reset();
}
