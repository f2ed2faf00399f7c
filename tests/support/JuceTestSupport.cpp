#include "JuceTestSupport.h"

#include "WindowManagerAtoms.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <dlfcn.h>
#include <link.h>
#include <cstdlib>
#include <iostream>

namespace testsupport
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
} // namespace

// JUCE asks for atoms that a bare X server lacks; those errors are harmless.
int ignoreXError (Display*, XErrorEvent* event)
{
    static std::atomic<int> reported { 0 };

    if (reported++ == 0)
        std::cerr << "X error " << static_cast<int> (event->error_code) << " ignored (later ones silently)" << std::endl;

    return 0;
}

void prepareX()
{
    XInitThreads();
    XSetErrorHandler (ignoreXError);

    internWindowManagerAtoms();
}

int runAllTestsWithJuce()
{
    juce::ScopedJuceInitialiser_GUI juce;
    AssertionCountingLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    const int result = RUN_ALL_TESTS();

    juce::Logger::setCurrentLogger (nullptr);
    return result;
}

int getJuceAssertionCount()
{
    return assertionCount.load();
}

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

juce::uint32 pixelAt (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y).getARGB();
}

juce::Image grabWindow (unsigned long window, juce::Rectangle<int> area)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return {};

    XSync (display, False);
    XWindowAttributes attributes {};
    juce::Image image;

    if (XGetWindowAttributes (display, window, &attributes) != 0 && attributes.map_state == IsViewable)
    {
        if (area.isEmpty())
            area = { attributes.width, attributes.height };

        if (auto* shot = XGetImage (display, window, area.getX(), area.getY(), static_cast<unsigned> (area.getWidth()),
                                    static_cast<unsigned> (area.getHeight()), AllPlanes, ZPixmap))
        {
            image = juce::Image (juce::Image::RGB, area.getWidth(), area.getHeight(), true);
            for (int y = 0; y < area.getHeight(); ++y)
                for (int x = 0; x < area.getWidth(); ++x)
                    image.setPixelAt (x, y, juce::Colour (static_cast<juce::uint32> (0xff000000u | (XGetPixel (shot, x, y) & 0xffffffu))));
            XDestroyImage (shot);
        }
    }

    XCloseDisplay (display);
    return image;
}

std::string outputPath (const std::string& name)
{
    return juce::File (ZELM_TEST_OUTPUT_DIR).getChildFile (name).getFullPathName().toStdString();
}

std::string savePng (const juce::Image& image, const std::string& name)
{
    const juce::File file (outputPath (name + ".png"));
    file.deleteFile();

    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;
    EXPECT_TRUE (stream.openedOk() && png.writeImageToStream (image, stream)) << file.getFullPathName();
    return file.getFullPathName().toStdString();
}

void keepGraphicsDriversLoaded()
{
    dl_iterate_phdr ([] (dl_phdr_info* info, size_t, void*)
    {
        const std::string name (info->dlpi_name);
        if (name.find ("/dri/") != std::string::npos || name.find ("libGLX_mesa") != std::string::npos
            || name.find ("libgallium") != std::string::npos)
            dlopen (info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
    }, nullptr);
}

} // namespace testsupport

// Leaks of the X library and the OpenGL driver that JUCE's OpenGL context sets up,
// which are not ours to fix.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:XGetVisualInfo\n"
           "leak:swrast_dri.so\n"
           "leak:libGLX_mesa.so\n";
}
