// The window manager with a real meter in a real window on the X display, driven the
// way the meter object drives it: from the main thread and from the host's scheduler.
#include "WindowTestSupport.h"

#include "MaxMspJuceWindowManager.h"
#include "cocoa/window/NSNotificationCenter.h"
#include "cocoa/window/NSWindow.h"
#include "gui/MultiMeterComponent.h"

#include <cmath>
#include <limits>

using maxhost::Severity;
using oskelgui::MultiMeterComponent;

namespace
{
using Corner = std::pair<std::int32_t, std::int32_t>;

/** Records the component's visibility changes and whether each came on the message thread. */
struct VisibilityRecorder : public juce::ComponentListener
{
    void componentVisibilityChanged (juce::Component& c) override
    {
        changes.push_back (c.isVisible());
        onMessageThread.push_back (juce::MessageManager::getInstance()->isThisTheMessageThread());
    }

    std::vector<bool> changes, onMessageThread;
};

class WindowManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (! windowtest::hasDisplay())
            GTEST_SKIP() << "no X display";

        assertionsAtStart = windowtest::getJuceAssertionCount();
        windowsAtStart = NSWindowCount();
        observersAtStart = NSNotificationCenterObserverCount();
        peersAtStart = juce::ComponentPeer::getNumPeers();

        owner = windowtest::newOwner();
        ASSERT_NE (owner, nullptr);
        meter = std::make_unique<MultiMeterComponent> (4, 24, 20);
        manager = std::make_unique<MaxMspJuceWindowManager> (owner, meter.get(), false);
        maxhost::clearRecordings();
    }

    void TearDown() override
    {
        if (IsSkipped())
            return;

        manager.reset();
        meter.reset();
        object_free (owner);
        windowtest::pump (20);

        EXPECT_EQ (NSWindowCount(), windowsAtStart);
        EXPECT_EQ (NSNotificationCenterObserverCount(), observersAtStart);
        EXPECT_EQ (juce::ComponentPeer::getNumPeers(), peersAtStart);
        EXPECT_EQ (windowtest::getJuceAssertionCount(), assertionsAtStart);
    }

    NSWindow* window() const { return NSViewGetWindow (static_cast<NSView*> (manager->nativeView.load())); }

    /** The window's top-left corner as the manager saves it. */
    Corner windowCorner() const
    {
        std::int32_t x = -1, y = -1;
        SaveWindowTopLeft (manager->nativeView.load(), &x, &y);
        return { x, y };
    }

    Corner savedCorner() const { return { manager->x.load(), manager->y.load() }; }

    t_object* owner = nullptr;
    std::unique_ptr<MultiMeterComponent> meter;
    std::unique_ptr<MaxMspJuceWindowManager> manager;
    std::size_t windowsAtStart = 0, observersAtStart = 0;
    int peersAtStart = 0, assertionsAtStart = 0;
};
} // namespace

TEST_F (WindowManagerTest, OpeningTwiceMakesOneWindowShowingTheComponentBelowItsTitleBar)
{
    const auto size = meter->getBounds().getBottomRight();
    EXPECT_FALSE (manager->IsWindowVisible());

    manager->Open (true);
    ASSERT_TRUE (manager->HasWindow());
    EXPECT_TRUE (manager->IsWindowVisible());
    EXPECT_EQ (windowCorner(), (Corner { 50, 800 }));
    EXPECT_EQ (NSWindowGetTitle (window()), "window");
    EXPECT_TRUE (NSWindowIsMovable (window()));
    EXPECT_EQ (NSNotificationCenterObserverCount(), observersAtStart + 2);

    // The meter is a native window of its own inside the frame, over the content area.
    const auto area = NSViewGetFrameInWindow (static_cast<NSView*> (manager->nativeView.load()));
    EXPECT_TRUE (meter->isOnDesktop() && meter->isVisible());
    EXPECT_EQ (meter->getBounds(), juce::Rectangle<int> ((int) area.origin.x, (int) area.origin.y, size.x, size.y));

    void* firstView = manager->nativeView.load();
    manager->Open (true);
    EXPECT_EQ (manager->nativeView.load(), firstView);
    EXPECT_EQ (NSNotificationCenterObserverCount(), observersAtStart + 2);
    EXPECT_TRUE (windowtest::pumpUntil ([this] { return meter->isShowing(); }));
}

TEST_F (WindowManagerTest, TheCloseButtonHidesTheWindowAndOpenShowsItWhereTheUserLeftIt)
{
    manager->Open (true);
    windowtest::pump();

    // Where the user dragged it.
    NSWindowSetFrameTopLeftPoint (window(), { 300.0, 700.0 });
    auto* frame = windowtest::findFrame ("window");
    ASSERT_NE (frame, nullptr);
    frame->getCloseButton()->triggerClick();
    ASSERT_TRUE (windowtest::pumpUntil ([this] { return ! manager->IsWindowVisible(); }));

    EXPECT_TRUE (manager->HasWindow());
    EXPECT_FALSE (meter->isVisible());
    EXPECT_EQ (savedCorner(), (Corner { 300, 700 }));

    void* view = manager->nativeView.load();
    manager->Open (true);
    EXPECT_EQ (manager->nativeView.load(), view);
    EXPECT_TRUE (manager->IsWindowVisible() && meter->isVisible());
    EXPECT_EQ (windowCorner(), (Corner { 300, 700 }));

    // "wclose" hides the same way and keeps the place too.
    manager->Close();
    EXPECT_FALSE (manager->IsWindowVisible() || meter->isVisible());
    EXPECT_EQ (savedCorner(), (Corner { 300, 700 }));
}

TEST_F (WindowManagerTest, TheCornerMovesOnlyAMoveableWindow)
{
    struct Case
    {
        bool moveable;
        float x, y;
        Corner expected;
        bool warns;
        bool onScreen = true;   // X keeps coordinates in 16 bits: farther corners are only stored
    };
    const Case cases[] = {
        { true, 200.0f, 600.0f, { 200, 600 }, false },
        { false, 400.0f, 500.0f, { 200, 600 }, true },
        { false, 200.9f, 600.2f, { 200, 600 }, false },   // the same corner once truncated
        { true, 100.7f, 300.2f, { 100, 300 }, false },
        { true, -20.7f, 300.0f, { -20, 300 }, false },
        { true, std::nanf (""), 500.0f, { -20, 500 }, false },
        { true, std::numeric_limits<float>::infinity(), 1.0e12f, { -20, 16777216 }, false, false },
    };

    manager->Open (true);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (::testing::Message() << c.x << ", " << c.y << (c.moveable ? " moveable" : " fixed"));
        maxhost::clearRecordings();

        manager->SetMoveable (c.moveable);
        EXPECT_EQ (NSWindowIsMovable (window()), c.moveable);
        manager->SetTopLeftPoint (c.x, c.y);

        EXPECT_EQ (savedCorner(), c.expected);
        if (c.onScreen)
        {
            EXPECT_EQ (windowCorner(), c.expected);
        }
        const auto warnings = windowtest::consoleLines (Severity::warn);
        EXPECT_EQ (warnings, c.warns ? std::vector<std::string> { "this window is not moveable" } : std::vector<std::string> {});
    }

    // Without a window, the corner is kept for the next one.
    manager->Release();
    manager->SetMoveable (true);
    manager->SetTopLeftPoint (250.0f, 650.0f);
    manager->Open (true);
    EXPECT_EQ (windowCorner(), (Corner { 250, 650 }));
    EXPECT_TRUE (NSWindowIsMovable (window()));
}

TEST_F (WindowManagerTest, ReleasingAnOpenWindowLeavesNoWindowNoListenerAndNoNativePeer)
{
    manager->Open (true);
    NSWindowSetFrameTopLeftPoint (window(), { 80.0, 640.0 });
    windowtest::pump();
    ASSERT_EQ (NSWindowCount(), windowsAtStart + 1);

    manager->Release();
    EXPECT_FALSE (manager->HasWindow() || manager->IsWindowVisible());
    EXPECT_EQ (manager->windowListener, nullptr);
    EXPECT_EQ (NSWindowCount(), windowsAtStart);
    EXPECT_EQ (NSNotificationCenterObserverCount(), observersAtStart);
    EXPECT_FALSE (meter->isOnDesktop() || meter->isVisible());
    EXPECT_EQ (juce::ComponentPeer::getNumPeers(), peersAtStart);
    EXPECT_EQ (savedCorner(), (Corner { 80, 640 }));
    std::string reason;
    EXPECT_FALSE (maxhost::screenshot (owner, windowtest::outputPath ("released.png"), reason));

    // Releasing again is harmless; a title set meanwhile names the next window, which
    // changes with the title at once; deleting with a window open is just as clean.
    manager->Release();
    manager->SetTitle ("levels");
    manager->Open (true);
    EXPECT_EQ (NSWindowCount(), windowsAtStart + 1);
    EXPECT_NE (windowtest::findFrame ("levels"), nullptr);
    manager->SetTitle ("other levels");
    EXPECT_EQ (NSWindowGetTitle (window()), "other levels");
    manager->SetTitle (nullptr);
    EXPECT_EQ (NSWindowGetTitle (window()), "");
    manager.reset();
    EXPECT_EQ (NSWindowCount(), windowsAtStart);
    EXPECT_EQ (NSNotificationCenterObserverCount(), observersAtStart);
}

TEST_F (WindowManagerTest, WorkAskedForOnTheSchedulerRunsOnTheMainThreadWithTheNewestRequestOfEachKind)
{
    VisibilityRecorder recorder;
    meter->addComponentListener (&recorder);

    maxhost::runOnScheduler ([this]
    {
        manager->SetTitle ("first");
        manager->Open (true);
        manager->SetTopLeftPoint (200.0f, 600.0f);
        manager->SetTitle ("second");
        manager->Close();
        manager->SetTopLeftPoint (220.0f, 610.0f);
        manager->Open (true);
        manager->SetMoveable (false);
    });

    // Nothing happened on the scheduler's thread.
    EXPECT_FALSE (manager->HasWindow());
    EXPECT_TRUE (recorder.changes.empty());

    maxhost::pumpMainThread();
    ASSERT_TRUE (manager->HasWindow());
    EXPECT_TRUE (manager->IsWindowVisible());
    EXPECT_EQ (NSWindowGetTitle (window()), "second");
    EXPECT_EQ (windowCorner(), (Corner { 220, 610 }));
    EXPECT_FALSE (NSWindowIsMovable (window()));
    // Open, close and open again while the first waited: only the last ran.
    EXPECT_EQ (recorder.changes, (std::vector<bool> { true }));
    EXPECT_EQ (recorder.onMessageThread, (std::vector<bool> { true }));

    // A flood far faster than a patch sends costs the main thread one call per kind.
    recorder.changes.clear();
    maxhost::runOnScheduler ([this]
    {
        manager->SetMoveable (true);
        for (int i = 0; i < 2000; ++i)
        {
            manager->Close();
            manager->SetTitle (i % 2 == 0 ? "even" : "odd");
            manager->SetTopLeftPoint (100.0f + static_cast<float> (i % 100), 500.0f);
            manager->Open (true);
        }
        manager->Close();
    });
    maxhost::pumpMainThread();
    EXPECT_EQ (recorder.changes, (std::vector<bool> { false }));
    EXPECT_EQ (NSWindowGetTitle (window()), "odd");
    EXPECT_EQ (savedCorner(), (Corner { 199, 500 }));
    EXPECT_TRUE (NSWindowIsMovable (window()));
    manager->Open (true);
    EXPECT_EQ (windowCorner(), (Corner { 199, 500 }));

    // A move asked for before a hide that saves the old corner still wins.
    maxhost::runOnScheduler ([this]
    {
        manager->SetMoveable (true);
        manager->SetTopLeftPoint (300.0f, 650.0f);
    });
    manager->Close();
    maxhost::pumpMainThread();
    EXPECT_EQ (windowCorner(), (Corner { 300, 650 }));
    EXPECT_EQ (savedCorner(), (Corner { 300, 650 }));

    meter->removeComponentListener (&recorder);
}

TEST_F (WindowManagerTest, DeferredCallsWithoutTheirManagerOrWithWrongArgumentsReport)
{
    struct Case
    {
        void (*routine) (t_object*, t_symbol*, long, t_atom*);
        long count;
        Severity severity;
        std::string text;
    };
    const Case cases[] = {
        { openWindow_deferred, 0, Severity::error, "No MaxMspJuceWindowManager" },
        { closeWindow_deferred, 1, Severity::error, "No MaxMspJuceWindowManager" },
        { changeWindowTitle_deferred, 0, Severity::error, "No MaxMspJuceWindowManager" },
        { changeWindowMoveable_deferred, 1, Severity::error, "No MaxMspJuceWindowManager" },
        { changeWindowTopLeftPoint_deferred, 1, Severity::error, "No MaxMspJuceWindowManager" },
        { changeWindowTopLeftPoint_deferred, 2, Severity::bug, "invalid number of arguments in changeWindowTopLeftPoint_deferred : 2" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text + " with " + std::to_string (c.count));
        maxhost::clearRecordings();
        t_atom atoms[2];
        atom_setobj (&atoms[0], nullptr);
        atom_setlong (&atoms[1], 1);
        c.routine (owner, nullptr, c.count, atoms);
        EXPECT_EQ (windowtest::consoleLines (c.severity), std::vector<std::string> { c.text });
        EXPECT_FALSE (manager->HasWindow());
    }

    // A manager without a component, or without an owner, opens nothing.
    MaxMspJuceWindowManager empty (owner, nullptr, false);
    empty.Open (true);
    MaxMspJuceWindowManager ownerless (nullptr, meter.get(), false);
    ownerless.Open (true);
    EXPECT_FALSE (empty.HasWindow() || ownerless.HasWindow());
}

TEST_F (WindowManagerTest, AResizableWindowResizesItsComponentAndTheMetersDoesNot)
{
    juce::Component content;
    content.setSize (150, 100);
    MaxMspJuceWindowManager resizable (owner, &content, true);
    resizable.SetTitle ("resizable");
    resizable.Open (true);
    manager->Open (true);

    auto* frame = windowtest::findFrame ("resizable");
    ASSERT_NE (frame, nullptr);
    frame->setSize (frame->getWidth() + 40, frame->getHeight() + 30);
    EXPECT_EQ (content.getWidth(), 190);
    EXPECT_EQ (content.getHeight(), 130);

    const auto meterSize = meter->getBounds();
    auto* meterFrame = windowtest::findFrame ("window");
    ASSERT_NE (meterFrame, nullptr);
    meterFrame->setSize (meterFrame->getWidth() + 40, meterFrame->getHeight() + 30);
    EXPECT_EQ (meter->getBounds(), meterSize);
}

TEST_F (WindowManagerTest, AScreenshotShowsTheMeterWithLitLeds)
{
    manager->SetTitle ("zelm.meter~");
    manager->Open (true);
    const float levels[] = { -30.0f, -12.0f, -3.0f, 3.0f };
    meter->setLevels (levels);
    meter->advance (4410);
    meter->refresh();
    meter->repaint();
    windowtest::pump (300);

    auto* frame = windowtest::findFrame ("zelm.meter~");
    ASSERT_NE (frame, nullptr);

    // The host photographs the window that the manager reported for its owner.
    std::string reason;
    EXPECT_TRUE (maxhost::screenshot (owner, windowtest::outputPath ("meter_window_host.png"), reason)) << reason;

    // The same window as X has it, with the meter's native window inside the frame's,
    // and its lit LEDs in the default zone colours below the title bar. On a loaded
    // machine the paint may come late, so the picture is taken until it shows them.
    juce::Image shot;
    int green = 0, red = 0;
    const auto countLitLeds = [&]
    {
        shot = windowtest::grabWindow (NSWindowGetNativeHandle (window()));
        green = red = 0;

        for (int y = meter->getY(); y < shot.getHeight(); ++y)
            for (int x = 0; x < shot.getWidth(); ++x)
            {
                const auto pixel = shot.getPixelAt (x, y);
                green += pixel.getGreen() > 100 && pixel.getRed() < 60 && pixel.getBlue() < 60 ? 1 : 0;
                red += pixel.getRed() > 200 && pixel.getGreen() < 80 && pixel.getBlue() < 80 ? 1 : 0;
            }
        return green > 20 && red > 10;
    };
    windowtest::pumpUntil (countLitLeds, 5000);

    ASSERT_TRUE (shot.isValid());
    EXPECT_EQ (shot.getBounds(), frame->getLocalBounds());
    windowtest::savePng (shot, "meter_window");
    EXPECT_GT (green, 20);
    EXPECT_GT (red, 10);
}
