// The native-window stand-in on the X display: its coordinates, its style, and closing
// with a component attached.
#include "WindowTestSupport.h"

#include "cocoa/window/NSNotificationCenter.h"
#include "cocoa/window/NSWindow.h"

namespace
{
class NativeWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (! windowtest::hasDisplay())
            GTEST_SKIP() << "no X display";

        assertionsAtStart = windowtest::getJuceAssertionCount();
        windowsAtStart = NSWindowCount();
        screenHeight = (int) NSScreenGetMainFrame().size.height;
        window = NSWindowCreate ({ { 100.0, 300.0 }, { 200.0, 120.0 } },
                                 NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable);
        ASSERT_NE (window, nullptr);
        view = NSViewCreate ({ { 0.0, 0.0 }, { 200.0, 120.0 } });
        NSWindowSetContentView (window, view);
        NSWindowSetTitle (window, "native window test");
        frame = windowtest::findFrame ("native window test");
        ASSERT_NE (frame, nullptr);
    }

    void TearDown() override
    {
        if (IsSkipped())
            return;

        if (window != nullptr)
        {
            NSWindowSetReleasedWhenClosed (window, true);
            NSWindowClose (window);
        }
        EXPECT_EQ (NSWindowCount(), windowsAtStart);
        EXPECT_EQ (windowtest::getJuceAssertionCount(), assertionsAtStart);
    }

    static void countClose (void* observer, const NSNotification&) { ++*static_cast<int*> (observer); }

    NSWindow* window = nullptr;
    NSView* view = nullptr;
    juce::DocumentWindow* frame = nullptr;
    int screenHeight = 0;
    std::size_t windowsAtStart = 0;
    int assertionsAtStart = 0;
};
} // namespace

TEST_F (NativeWindowTest, PointsAreOnTheMainScreenWithYGrowingUpward)
{
    // The content rectangle's bottom-left corner is where the content area starts, below the title bar.
    const auto area = NSViewGetFrameInWindow (view);
    EXPECT_EQ (area.size.width, 200.0);
    EXPECT_EQ (area.size.height, 120.0);
    EXPECT_GT (area.origin.y, 0.0);
    EXPECT_EQ (frame->getX() + (int) area.origin.x, 100);
    EXPECT_EQ (frame->getY() + (int) area.origin.y + 120, screenHeight - 300);

    NSWindowSetFrameTopLeftPoint (window, { 120.0, 900.0 });
    EXPECT_EQ (frame->getPosition(), juce::Point<int> (120, screenHeight - 900));
    const auto f = NSWindowGetFrame (window);
    EXPECT_EQ (f.origin.x, 120.0);
    EXPECT_EQ (f.origin.y + f.size.height, 900.0);
}

TEST_F (NativeWindowTest, AFrameOffTheTaskbarWithShadowCloseAndMinimiseButtons)
{
    EXPECT_FALSE (NSWindowIsVisible (window));
    NSWindowOrderFront (window);
    EXPECT_TRUE (NSWindowIsVisible (window));

    ASSERT_NE (frame->getPeer(), nullptr);
    const int style = frame->getPeer()->getStyleFlags();
    EXPECT_EQ (style & juce::ComponentPeer::windowAppearsOnTaskbar, 0);
    EXPECT_NE (style & juce::ComponentPeer::windowHasDropShadow, 0);
    EXPECT_NE (frame->getCloseButton(), nullptr);
    EXPECT_NE (frame->getMinimiseButton(), nullptr);
    EXPECT_EQ (frame->getMaximiseButton(), nullptr);
    EXPECT_FALSE (frame->isResizable());

    // With another window active, the frame's buttons still take clicks. (Other clients of
    // the display may take the focus meanwhile: it is asked for until it arrives.)
    const auto activate = [] (juce::Component& c, const std::function<bool()>& done)
    {
        return windowtest::pumpUntil ([&] { if (! done()) c.toFront (true); return done(); });
    };
    ASSERT_TRUE (activate (*frame, [this] { return frame->isActiveWindow(); }));
    juce::TopLevelWindow other ("other", true);
    other.setBounds (600, 600, 50, 50);
    other.setVisible (true);
    ASSERT_TRUE (activate (other, [this] { return ! frame->isActiveWindow(); }));
    EXPECT_TRUE (frame->getCloseButton()->isEnabled());
    EXPECT_TRUE (frame->getMinimiseButton()->isEnabled());

    NSWindowOrderOut (window);
    EXPECT_FALSE (NSWindowIsVisible (window));
}

TEST_F (NativeWindowTest, CloseHidesAKeptWindowAndFreesAReleasedOneAfterItsComponents)
{
    int closes = 0;
    NSNotificationCenterAddObserver (&closes, countClose, NSWindowWillCloseNotification, window);

    juce::Component content;
    content.setSize (200, 120);
    NSViewAddSubview (view, content);
    content.setVisible (true);
    NSWindowOrderFront (window);
    windowtest::pump();

    ASSERT_TRUE (content.isOnDesktop());
    const auto area = NSViewGetFrameInWindow (view);
    EXPECT_EQ (content.getPosition(), juce::Point<int> ((int) area.origin.x, (int) area.origin.y));

    NSWindowClose (window);
    EXPECT_EQ (closes, 1);
    EXPECT_FALSE (NSWindowIsVisible (window));
    EXPECT_EQ (NSWindowCount(), windowsAtStart + 1);

    // Freed with its component still attached: the component leaves the desktop first.
    NSWindowSetReleasedWhenClosed (window, true);
    NSWindowClose (window);
    window = nullptr;
    EXPECT_EQ (closes, 2);
    EXPECT_EQ (NSWindowCount(), windowsAtStart);
    EXPECT_FALSE (content.isOnDesktop());

    NSNotificationCenterRemoveObserver (&closes);
    windowtest::pump();
}
