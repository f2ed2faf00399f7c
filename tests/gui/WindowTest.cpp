// Real windows on the X display (Xvfb in the test run): a native peer, a real mouse
// click through XTest, a screenshot of the window, and OpenGL rendering.
#include "GuiTestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>


using oskelgui::MultiMeterComponent;

namespace
{
class WindowTest : public guitest::GuiTest
{
protected:
    std::unique_ptr<MultiMeterComponent> meter;
    guitest::RecordingListener listener;
    Display* display = nullptr;

    void SetUp() override
    {
        GuiTest::SetUp();

        if (! guitest::hasDisplay())
            GTEST_SKIP() << "no X display";

        display = XOpenDisplay (nullptr);
        ASSERT_NE (display, nullptr);
        meter = std::make_unique<MultiMeterComponent> (4, 24, 20);
        meter->addListener (&listener);
        // Tests may run at once on one X server: each window gets a place of its own.
        const auto* suite = ::testing::UnitTest::GetInstance()->current_test_suite();
        int slot = 0;
        while (slot < suite->total_test_count() && suite->GetTestInfo (slot) != ::testing::UnitTest::GetInstance()->current_test_info())
            ++slot;
        meter->setTopLeftPosition (50 + 220 * slot, 600);
        meter->setAlwaysOnTop (true);
        meter->addToDesktop (0);
        meter->setVisible (true);
        ASSERT_TRUE (guitest::pumpMessagesUntil ([this] { return meter->isShowing() && meter->getPeer() != nullptr; }));
        juce::MessageManager::getInstance()->runDispatchLoopUntil (200);
    }

    void TearDown() override
    {
        meter.reset(); // taken off the desktop with its peer
        if (display != nullptr)
            XCloseDisplay (display);

        GuiTest::TearDown();
    }
};
} // namespace

TEST_F (WindowTest, ARealClickOnAStripMuteReachesTheListenerAndLightsTheButton)
{
    const float levels[] = { -40.0f, -10.0f, 0.0f, 5.0f };
    meter->setLevels (levels);
    meter->repaint();

    auto& mute = meter->getChannel (1).getMuteButton();
    XTestFakeMotionEvent (display, -1, mute.getScreenBounds().getCentreX(), mute.getScreenBounds().getCentreY(), CurrentTime);
    XFlush (display);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    XTestFakeButtonEvent (display, 1, True, CurrentTime);
    XTestFakeButtonEvent (display, 1, False, CurrentTime);
    XFlush (display);

    ASSERT_TRUE (guitest::pumpMessagesUntil ([this] { return ! listener.channels.empty(); }, 5000));
    EXPECT_EQ (listener.channels, (std::vector<unsigned> { 1 }));
    EXPECT_TRUE (meter->getMute (1));

    // The window itself shows the lit button once JUCE has repainted it.
    const auto probe = mute.getScreenBounds().getTopLeft() + juce::Point<int> (2, 2) - meter->getScreenPosition();
    juce::Image shot;
    EXPECT_TRUE (guitest::pumpMessagesUntil ([&]
    {
        shot = guitest::grabWindow (DefaultRootWindow (display), meter->getScreenBounds());
        return shot.isValid() && shot.getPixelAt (probe.x, probe.y).getARGB() == 0xff93bbffu;
    }, 5000));
    guitest::savePng (shot, "window_screenshot");
}

TEST_F (WindowTest, OpenGLAttachesPaintsAndDetaches)
{
    const auto software = meter->getCurrentRendererName();
    EXPECT_EQ (software, meter->getAvailableRenderers().front());
    meter->setShowFps (true);
    ASSERT_TRUE (meter->setUseOpenGL (true));
    EXPECT_EQ (meter->getCurrentRendererName(), "OpenGL Renderer");

    meter->repaint();
    EXPECT_TRUE (guitest::pumpMessagesUntil ([this] { meter->repaint(); return meter->getFramesPerSecond() > 0.0; }, 10000));
    testsupport::keepGraphicsDriversLoaded();

    meter->setUseOpenGL (true);
    EXPECT_EQ (meter->getCurrentRendererName(), "OpenGL Renderer");

    meter->setUseOpenGL (false);
    EXPECT_EQ (meter->getCurrentRendererName(), software);
}

// Runs for real under an X server started without GLX, which a CTest entry of its own
// provides (and marks with ZELM_EXPECT_NO_GLX); on a display with GLX there is nothing to see.
TEST_F (WindowTest, OpenGLOnADisplayWithoutGlxIsRefusedAndTheWindowKeepsPaintingInSoftware)
{
    int opcode = 0, event = 0, error = 0;
    if (XQueryExtension (display, "GLX", &opcode, &event, &error))
    {
        if (std::getenv ("ZELM_EXPECT_NO_GLX") != nullptr)
            FAIL() << "this display offers GLX";
        GTEST_SKIP() << "the display offers GLX";
    }

    const auto software = meter->getCurrentRendererName();
    EXPECT_FALSE (oskelgui::Component::isOpenGLAvailable());
    EXPECT_FALSE (meter->setUseOpenGL (true));
    EXPECT_EQ (meter->getCurrentRendererName(), software);

    meter->setShowFps (true);
    EXPECT_TRUE (guitest::pumpMessagesUntil ([this] { meter->repaint(); return meter->getFramesPerSecond() > 0.0; }, 10000));
    EXPECT_TRUE (meter->setUseOpenGL (false));
}

TEST_F (WindowTest, DisplayTicksWithUnchangedLevelsPaintNothing)
{
    meter->setShowFps (true);
    const float levels[] = { -40.0f, -10.0f, 0.0f, 5.0f }, louder[] = { -40.0f, -10.0f, 0.0f, 6.0f };
    auto tick = [&] (const float* newLevels)
    {
        meter->setLevels (newLevels);
        meter->advance (2206);
        meter->refresh();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    };

    tick (levels);
    ASSERT_TRUE (guitest::pumpMessagesUntil ([this] { return meter->getFramesPerSecond() > 0.0; }));
    tick (levels);

    // On a loaded machine the paints asked for so far may land late: wait until
    // 200 ms pass without one before taking the reference.
    auto framesAfterLevelsSettled = meter->getFramesPerSecond();
    ASSERT_TRUE (guitest::pumpMessagesUntil ([&]
    {
        const auto before = meter->getFramesPerSecond();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (200);
        framesAfterLevelsSettled = meter->getFramesPerSecond();
        return framesAfterLevelsSettled == before;
    }, 10000));

    // Long enough for the held peaks to time out: they stay where they are, so nothing changes.
    for (int i = 0; i < 60; ++i)
        tick (levels);
    EXPECT_EQ (meter->getFramesPerSecond(), framesAfterLevelsSettled);

    tick (louder);
    EXPECT_TRUE (guitest::pumpMessagesUntil ([&] { return meter->getFramesPerSecond() != framesAfterLevelsSettled; }));
}
