#pragma once

#include "UvcKernelFixture.h"

#include "platform/camera/CameraEnumerator.h"
#include "tests/mac/controller/AppControllerFixture.h"

#include <memory>

namespace varnolet::test {

// The kernel rig, driven from the Mac controller's fixture.
class UvcRig : public UvcKernelFixture
{
public:
    using UvcKernelFixture::camera;
    using UvcKernelFixture::plug;
    using UvcKernelFixture::SetUp;
    using UvcKernelFixture::TearDown;
    using UvcKernelFixture::waitForListed;
    void TestBody() override {}
};

// The controller's fixture with the real cameras of the guest and the rig to plug them.
class MacKernelTest : public mactest::AppControllerTest
{
protected:
    void SetUp() override
    {
        AppControllerTest::SetUp();
        m_rig.SetUp();
        if (HasFatalFailure())
            return;
        m_cameras = std::make_shared<varnolet::CameraEnumerator>(*m_hub);
    }
    void TearDown() override
    {
        AppControllerTest::TearDown();
        m_rig.TearDown();
    }

    UvcRig m_rig;
};

} // namespace varnolet::test
