#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "gui/MultiMeterComponent.h"

#include "cocoa/window/NSNotificationCenter.h"
#include "cocoa/window/NSWindow.h"

#include "ext_dictobj.h"

#include <functional>

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

    /** Runs the main thread's work for about the given real time. */
    void settleFor (int ms) { settleUntil ([] { return false; }, ms); }

    /** The green of lit "cold" LEDs in a screenshot of the meter's window, saved under the name. */
    static int litColdPixels (t_meter* m, const std::string& name)
    {
        const auto path = testsupport::outputPath (name);
        std::string reason;
        EXPECT_TRUE (maxhost::screenshot (asObject (m), path, reason)) << reason;
        const auto image = juce::ImageFileFormat::loadFrom (juce::File (path));
        int lit = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (const auto c = image.getPixelAt (x, y); c.getGreen() > 90 && c.getGreen() > 2 * c.getRed() && c.getGreen() > 2 * c.getBlue())
                    ++lit;
        return lit;
    }
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
    maxhost::clearRecordings();
    send (meter, "dump windowtopleft");
    EXPECT_EQ (dumpLines (meter), std::vector<std::string> { "windowtopleft 200. 600." }) << "the refused corner is not taken";
    EXPECT_EQ (findFrame ("other"), frame);
    EXPECT_EQ (findFrame ("levels"), nullptr);
}

TEST_F (WindowTest, AWindowThatIsNotMoveableOpensWhereEveryRestoreOfItsCornerPutsIt)
{
    const auto restored = [this] (const std::string& title) { return create ("@windowmoveable 0 @windowtopleft 300 500 @windowtitle " + title); };
    const std::vector<std::pair<std::string, std::function<t_meter*()>>> paths {
        { "box", [&] { return restored ("box"); } },
        { "pattr",
          [&]
          {
              auto* to = create ("");
              long ac = 0;
              t_atom* av = nullptr;
              object_method (asObject (restored ("pattr")), gensym ("getvalueof"), &ac, &av);
              object_method (asObject (to), gensym ("setvalueof"), ac, av);
              sysmem_freeptr (av);
              return to;
          } },
        { "dictionary",
          [&]
          {
              auto* to = create ("");
              auto* d = dictionary_new();
              dictionary_appendlong (d, gensym ("windowmoveable"), 0);
              dictionary_appendatoms (d, gensym ("windowtopleft"), 2, maxhost::parseAtoms ("300 500").data());
              dictionary_appendsym (d, gensym ("windowtitle"), gensym ("dictionary"));
              t_symbol* name = gensym ("restored.window");
              EXPECT_NE (dictobj_register (d, &name), nullptr);
              maxhost::send (asObject (to), "dictionary", maxhost::parseAtoms ("restored.window"));
              dictobj_release (d);
              return to;
          } },
    };
    const int screenHeight = static_cast<int> (NSScreenGetMainFrame().size.height);
    for (const auto& [path, restore] : paths)
    {
        SCOPED_TRACE (path);
        auto* restoredMeter = restore();
        send (restoredMeter, "open");
        ASSERT_TRUE (settleUntil ([&] { return restoredMeter->windowManager->IsWindowVisible(); }));
        auto* frame = findFrame (path);
        ASSERT_NE (frame, nullptr);
        EXPECT_EQ (frame->getScreenPosition(), juce::Point<int> (300, screenHeight - 500));
        EXPECT_TRUE (consoleLines (maxhost::Severity::warn).empty());
    }
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
    EXPECT_GT (litColdPixels (meter, "meter-window.png"), 200);
}

// Every toggle sets a fresh context up on JUCE's one render thread, which the other
// windows keep busy; a context that thread still held when it was detached and
// destroyed took the host down at the thread's next switch.
TEST_F (WindowTest, TogglingOpenGLAmongOtherOpenGLWindowsKeepsTheHostUpAndTheWindowsDrawing)
{
    if (! oskelgui::Component::isOpenGLAvailable())
        GTEST_SKIP() << "the display offers no OpenGL";

    const std::vector<t_meter*> meters { meter, create ("@numchannels 2 @windowtitle second"), create ("@numchannels 2 @windowtitle third") };
    for (auto* m : meters)
        maxhost::setSignal (asObject (m), 1, { maxhost::SignalSource::sine, 440.0, -3.0, 0.0 });
    maxhost::startDsp();
    for (auto* m : meters)
    {
        send (m, "open");
        send (m, "useopengl 1");
    }
    const auto drawnByOpenGL = [] (t_meter* m) { return m->gui->getCurrentRendererName() == oskelgui::Component::openGLRendererName; };
    ASSERT_TRUE (settleUntil ([&] { return std::all_of (meters.begin(), meters.end(), drawnByOpenGL); }));

    // Waits of 0 to 35 ms between the toggles meet the render thread at every stage of a frame.
    const auto toggle = [&] (t_meter* m, int times)
    {
        for (int i = 0; i < times; ++i)
        {
            send (m, "useopengl 0");
            send (m, "useopengl 1");
            const auto until = juce::Time::getMillisecondCounterHiRes() + (i * 7) % 40;
            while (juce::Time::getMillisecondCounterHiRes() < until)
            {
                maxhost::advance (5.0);
                settleFor (5);
            }
        }
    };
    toggle (meters[0], 40); // three windows
    object_free (asObject (meters[0]));
    meter = nullptr;
    toggle (meters[2], 40); // two windows
    toggle (meters[2], 1);  // and freed at once
    object_free (asObject (meters[2]));

    // The window left still draws through OpenGL: a paint asked for shows the levels
    // within a few of the render thread's frames.
    EXPECT_TRUE (drawnByOpenGL (meters[1]));
    EXPECT_TRUE (settleUntil ([&]
    {
        meters[1]->gui->repaint();
        settleFor (50);
        return litColdPixels (meters[1], "opengl-after-toggles.png") > 200;
    }));
}
