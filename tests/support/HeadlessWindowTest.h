#pragma once

// A fixture for window tests: a real window system on SDL's dummy driver, and pumps that wait
// for a condition with a generous limit.

#include "platform/display/SdlDisplay.h"
#include "platform/window/WindowSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace testing_support {

class HeadlessWindowTest : public ::testing::Test
{
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        std::string strError;
        auto pDriver = platform::OpenSdlDisplay(strError);
        ASSERT_TRUE(pDriver) << strError;
        m_pSystem = platform::WindowSystem::Start(std::move(pDriver));
        ASSERT_TRUE(m_pSystem);
    }

    void TearDown() override
    {
        if (m_pSystem)
            m_pSystem->Stop();
    }

    // Pumps until the condition holds, for at most nLimit. It polls, since the condition may be
    // changed by another thread that does not wake the loop.
    bool PumpUntil(const std::function<bool()>& bDone, Clock::duration nLimit = std::chrono::seconds(10))
    {
        auto deadline = Clock::now() + nLimit;
        while (!bDone()) {
            if (Clock::now() > deadline)
                return false;
            if (!m_pSystem->PumpPending())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Pumps for a while whatever happens: to show that something does not happen.
    void PumpFor(Clock::duration nTime)
    {
        PumpUntil([] { return false; }, nTime);
    }

    std::shared_ptr<platform::WindowSystem> m_pSystem;
};

} // namespace testing_support
