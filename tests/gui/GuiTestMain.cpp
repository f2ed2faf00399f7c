// The GUI tests' own main: X must be made thread-safe and its errors non-fatal before
// JUCE opens the display, JUCE's GUI support must live for the whole run, and every
// JUCE assertion is counted so that the tests can fail on it.
#include "GuiTestSupport.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdlib>
#include <iostream>

namespace guitest
{
namespace
{
std::atomic<int> assertionCount { 0 };

class AssertionCountingLogger : public juce::Logger
{
public:
    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion"))
            ++assertionCount;

        std::cerr << message << std::endl;
    }
};

// JUCE asks for atoms that a bare X server lacks; those errors are harmless.
int ignoreXError (Display*, XErrorEvent* event)
{
    static std::atomic<int> reported { 0 };

    if (reported++ == 0)
        std::cerr << "X error " << (int) event->error_code << " ignored (later ones silently)" << std::endl;

    return 0;
}
} // namespace

int getJuceAssertionCount() { return assertionCount.load(); }

bool hasDisplay()
{
    const char* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}

bool pumpMessagesUntil (const std::function<bool()>& condition, int maxMs)
{
    for (int waited = 0; ! condition(); waited += 5)
    {
        if (waited >= maxMs)
            return false;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }
    return true;
}

void drainMessages()
{
    auto delivered = std::make_shared<std::atomic<bool>> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });
    pumpMessagesUntil ([delivered] { return delivered->load(); });
}

juce::Image snapshot (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), false, 1.0f);
}

std::string savePng (const juce::Image& image, const std::string& name)
{
    const auto file = juce::File (ZELM_GUI_TEST_OUTPUT_DIR).getChildFile (juce::String (name) + ".png");
    file.deleteFile();

    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;
    EXPECT_TRUE (stream.openedOk() && png.writeImageToStream (image, stream)) << file.getFullPathName();
    return file.getFullPathName().toStdString();
}

juce::uint32 pixelAt (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y).getARGB();
}

} // namespace guitest

// Leaks of the X library and the OpenGL driver that JUCE's OpenGL context sets up,
// which are not ours to fix.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:XGetVisualInfo\n"
           "leak:swrast_dri.so\n"
           "leak:libGLX_mesa.so\n";
}

int main (int argc, char** argv)
{
    XInitThreads();
    XSetErrorHandler (guitest::ignoreXError);

    ::testing::InitGoogleTest (&argc, argv);

    juce::ScopedJuceInitialiser_GUI juce;
    guitest::AssertionCountingLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    const int result = RUN_ALL_TESTS();

    juce::Logger::setCurrentLogger (nullptr);
    return result;
}
