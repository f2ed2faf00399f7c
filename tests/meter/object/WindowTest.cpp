#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "gui/MultiMeterComponent.h"

#include "cocoa/window/NSNotificationCenter.h"
#include "cocoa/window/NSWindow.h"

using namespace metertest;

namespace
{
class WindowTest : public MeterTest
{
protected:
    t_meter* meter = nullptr;

    void SetUp() override
    {
        if (! hasDisplay())
            GTEST_SKIP() << "needs an X display";
        MeterTest::SetUp();
        meter = create ("@numchannels 4 @windowtitle levels");
        ASSERT_NE (meter, nullptr);
    }

    void TearDown() override
    {
        if (hasDisplay())
            MeterTest::TearDown();
    }

    bool windowShown() { return settleUntil ([this] { return meter->windowManager->IsWindowVisible(); }); }
};
} // namespace

TEST_F (WindowTest, OpenCloseMoveAndRetitleReachTheOneWindow)
{
    send (meter, "open");
    send (meter, "open");
    ASSERT_TRUE (windowShown());
    EXPECT_EQ (NSWindowCount(), 1u);
    auto* frame = findFrame ("levels");
    ASSERT_NE (frame, nullptr);
    const int screenHeight = static_cast<int> (NSScreenGetMainFrame().size.height);

    send (meter, "windowtopleft 200 600");
    settle();
    EXPECT_EQ (frame->getScreenPosition(), juce::Point<int> (200, screenHeight - 600));
    EXPECT_TRUE (consoleLines (maxhost::Severity::warn).empty());

    // A double-click shows the window the close button hid.
    frame->closeButtonPressed();
    settle();
    EXPECT_FALSE (meter->windowManager->IsWindowVisible());
    object_method (asObject (meter), gensym ("dblclick"));
    ASSERT_TRUE (windowShown());

    sendFromScheduler (meter, "windowmoveable 0");
    sendFromScheduler (meter, "windowtopleft 300 500");
    sendFromScheduler (meter, "windowtitle other");
    settle();
    EXPECT_EQ (frame->getScreenPosition(), juce::Point<int> (200, screenHeight - 600));
    EXPECT_EQ (consoleLines (maxhost::Severity::warn), std::vector<std::string> { "this window is not moveable" });
    EXPECT_EQ (findFrame ("other"), frame);
    EXPECT_EQ (findFrame ("levels"), nullptr);
}

TEST_F (WindowTest, FreeingWithTheWindowOpenLeavesNoWindowAndNoListener)
{
    send (meter, "open");
    ASSERT_TRUE (windowShown());
    EXPECT_GT (NSNotificationCenterObserverCount(), 0u);

    maxhost::startDsp();
    object_free (asObject (meter));
    settle();
    EXPECT_EQ (NSWindowCount(), 0u);
    EXPECT_EQ (NSNotificationCenterObserverCount(), 0u);
    EXPECT_EQ (findFrame ("levels"), nullptr);
}

// Runs for real under an X server started without GLX, which a CTest entry of its own
// provides (and marks with ZELM_EXPECT_NO_GLX); on a display with GLX it skips.
TEST_F (WindowTest, UseOpenGLWithoutGlxPostsAnErrorAndTheWindowKeepsDrawing)
{
    if (oskelgui::Component::isOpenGLAvailable())
    {
        if (std::getenv ("ZELM_EXPECT_NO_GLX") != nullptr)
            FAIL() << "this display offers OpenGL";
        GTEST_SKIP() << "the display offers OpenGL";
    }

    send (meter, "open");
    ASSERT_TRUE (windowShown());
    send (meter, "useopengl 1");
    settle();
    EXPECT_EQ (consoleLines (maxhost::Severity::error),
               std::vector<std::string> { "could not use OpenGL: the display offers none; the window keeps drawing in software" });
    EXPECT_NE (meter->gui->getCurrentRendererName(), oskelgui::Component::openGLRendererName);

    send (meter, "useopengl 0");
    settle();
    EXPECT_EQ (consoleLines (maxhost::Severity::error).size(), 1u);
}

TEST_F (WindowTest, AScreenshotShowsTheWindowAsPaintedAfterEveryPendingPaint)
{
    for (int inlet = 1; inlet <= 4; ++inlet)
        maxhost::setSignal (asObject (meter), inlet, { maxhost::SignalSource::sine, 440.0 * inlet, -3.0 * inlet, 0.0 });

    maxhost::startDsp();
    send (meter, "open");
    ASSERT_TRUE (windowShown());
    maxhost::advance (300.0);

    // Virtual time runs far ahead of JUCE's paint timer: one picture, taken at once,
    // must still show the LEDs that the last refresh lit.
    const auto path = testsupport::outputPath ("meter-window.png");
    std::string reason;
    ASSERT_TRUE (maxhost::screenshot (asObject (meter), path, reason)) << reason;
    const auto image = juce::ImageFileFormat::loadFrom (juce::File (path));
    int litCold = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (const auto c = image.getPixelAt (x, y); c.getGreen() > 90 && c.getGreen() > 2 * c.getRed() && c.getGreen() > 2 * c.getBlue())
                ++litCold;
    EXPECT_GT (litCold, 200);
}
