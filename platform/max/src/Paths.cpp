// Path identifiers, the scripted save dialog, and screenshots of the native
// windows that objects report.
#include "Host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

namespace maxhost::detail
{
namespace
{
    struct Paths
    {
        std::mutex mutex;
        std::vector<std::string> folders;   // path identifier = index + 1
        std::deque<std::string> dialogAnswers;
        int dialogsShown = 0;
        std::map<t_object*, unsigned long> windows;
    };

    Paths& paths()
    {
        static auto* p = new Paths();
        return *p;
    }

    short folderId (const std::string& folder)
    {
        auto& p = paths();
        std::lock_guard<std::mutex> lock (p.mutex);
        for (size_t i = 0; i < p.folders.size(); ++i)
            if (p.folders[i] == folder)
                return static_cast<short> (i + 1);
        if (p.folders.size() >= 32000)
            return 0;
        p.folders.push_back (folder);
        return static_cast<short> (p.folders.size());
    }

    bool folderOf (short id, std::string& folder)
    {
        auto& p = paths();
        std::lock_guard<std::mutex> lock (p.mutex);
        if (id < 1 || id > static_cast<short> (p.folders.size()))
            return false;
        folder = p.folders[static_cast<size_t> (id - 1)];
        return true;
    }

    short joinPath (short path, const char* file, char* name)
    {
        std::string folder;
        if (name == nullptr || ! folderOf (path, folder))
            return 1;
        std::string result = folder;
        if (file != nullptr && file[0] != '\0')
            result += (result.empty() || result.back() != '/' ? "/" : "") + std::string (file);
        if (result.size() >= MAX_PATH_CHARS)
            return 1;
        std::memcpy (name, result.c_str(), result.size() + 1);
        return 0;
    }

    void splitPath (const std::string& full, std::string& folder, std::string& file)
    {
        const auto slash = full.find_last_of ('/');
        if (slash == std::string::npos)
        {
            char cwd[MAX_PATH_CHARS];
            folder = getcwd (cwd, sizeof (cwd)) != nullptr ? cwd : ".";
            file = full;
            return;
        }
        folder = slash == 0 ? "/" : full.substr (0, slash);
        file = full.substr (slash + 1);
    }

    void writeChunk (std::FILE* f, const char* type, const std::vector<unsigned char>& data)
    {
        auto be32 = [f] (unsigned long v)
        {
            const unsigned char b[4] = { static_cast<unsigned char> (v >> 24), static_cast<unsigned char> (v >> 16),
                                         static_cast<unsigned char> (v >> 8), static_cast<unsigned char> (v) };
            std::fwrite (b, 1, 4, f);
        };
        be32 (data.size());
        std::fwrite (type, 1, 4, f);
        if (! data.empty())
            std::fwrite (data.data(), 1, data.size(), f);
        auto crc = crc32 (0, reinterpret_cast<const Bytef*> (type), 4);
        // zlib answers 0 for a null buffer, whatever the running value: an empty
        // chunk (IEND) must keep the checksum of its type.
        if (! data.empty())
            crc = crc32 (crc, data.data(), static_cast<uInt> (data.size()));
        be32 (crc);
    }

    bool writePng (const std::string& path, int width, int height, const std::vector<unsigned char>& rgb)
    {
        std::vector<unsigned char> raw;
        raw.reserve (static_cast<size_t> (height) * (static_cast<size_t> (width) * 3 + 1));
        for (int y = 0; y < height; ++y)
        {
            raw.push_back (0);
            raw.insert (raw.end(), rgb.begin() + static_cast<long> (y) * width * 3, rgb.begin() + static_cast<long> (y + 1) * width * 3);
        }
        uLongf size = compressBound (static_cast<uLong> (raw.size()));
        std::vector<unsigned char> compressed (size);
        if (compress (compressed.data(), &size, raw.data(), static_cast<uLong> (raw.size())) != Z_OK)
            return false;
        compressed.resize (size);

        auto* f = std::fopen (path.c_str(), "wb");
        if (f == nullptr)
            return false;
        const unsigned char signature[8] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
        std::fwrite (signature, 1, 8, f);
        std::vector<unsigned char> header (13, 0);
        for (int i = 0; i < 4; ++i)
        {
            header[static_cast<size_t> (i)] = static_cast<unsigned char> (static_cast<unsigned> (width) >> (24 - 8 * i));
            header[static_cast<size_t> (4 + i)] = static_cast<unsigned char> (static_cast<unsigned> (height) >> (24 - 8 * i));
        }
        header[8] = 8;   // bits per channel
        header[9] = 2;   // truecolour
        writeChunk (f, "IHDR", header);
        writeChunk (f, "IDAT", compressed);
        writeChunk (f, "IEND", {});
        return std::fclose (f) == 0;
    }
} // namespace

void resetPaths()
{
    auto& p = paths();
    std::lock_guard<std::mutex> lock (p.mutex);
    p.folders.clear();
    p.dialogAnswers.clear();
    p.dialogsShown = 0;
    p.windows.clear();
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

short path_getdefault()
{
    char cwd[MAX_PATH_CHARS];
    return folderId (getcwd (cwd, sizeof (cwd)) != nullptr ? cwd : ".");
}

short path_frompathname (const char* name, short* path, char* filename)
{
    if (name == nullptr || path == nullptr || name[0] == '\0')
        return 1;
    std::string folder, file;
    splitPath (name, folder, file);
    if (file.size() >= MAX_FILENAME_CHARS)
        return 1;
    *path = folderId (folder);
    if (filename != nullptr)
        std::memcpy (filename, file.c_str(), file.size() + 1);
    return *path != 0 ? 0 : 1;
}

short path_topathname (short path, const char* file, char* name)
{
    return joinPath (path, file, name);
}

short path_topotentialname (short path, const char* file, char* name, short)
{
    return joinPath (path, file, name);
}

short path_toabsolutesystempath (short path, const char* file, char* name)
{
    return joinPath (path, file, name);
}

short saveasdialog_extended (char* name, short* path, t_fourcc*, t_fourcc*, short)
{
    auto& p = paths();
    std::string answer;
    {
        std::lock_guard<std::mutex> lock (p.mutex);
        ++p.dialogsShown;
        if (! p.dialogAnswers.empty())
        {
            answer = p.dialogAnswers.front();
            p.dialogAnswers.pop_front();
        }
    }
    if (answer.empty() || answer == "cancelled" || answer == "cancel" || name == nullptr || path == nullptr)
        return 1;
    std::string folder, file;
    splitPath (answer, folder, file);
    if (file.empty())
        file = name;   // a folder chosen: the proposed name stays
    if (file.size() >= MAX_FILENAME_CHARS)
        return 1;
    std::memcpy (name, file.c_str(), file.size() + 1);
    *path = folderId (folder);
    return *path != 0 ? 0 : 1;
}

void maxhost_setobjectwindow (t_object* x, unsigned long window)
{
    auto& p = paths();
    std::lock_guard<std::mutex> lock (p.mutex);
    if (window == 0)
        p.windows.erase (x);
    else
        p.windows[x] = window;
}

} // extern "C"

namespace maxhost
{
void setDialogAnswer (const std::string& answer)
{
    auto& p = paths();
    std::lock_guard<std::mutex> lock (p.mutex);
    p.dialogAnswers.clear();
    p.dialogAnswers.push_back (answer);
}

int dialogsShown()
{
    auto& p = paths();
    std::lock_guard<std::mutex> lock (p.mutex);
    return p.dialogsShown;
}

bool screenshot (t_object* x, const std::string& pngPath, std::string& reason)
{
    // The window shows what was asked of it only once its plug-in has drawn every
    // pending paint: plug-ins paint late, from their own timers.
    if (onMainThread())
        finishPendingDrawing();

    unsigned long window = 0;
    {
        auto& p = paths();
        std::lock_guard<std::mutex> lock (p.mutex);
        auto it = p.windows.find (x);
        if (it != p.windows.end())
            window = it->second;
    }
    if (window == 0)
    {
        reason = "the object has no window";
        return false;
    }
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
    {
        reason = "no X display";
        return false;
    }
    XSync (display, False);
    XWindowAttributes attributes {};
    if (XGetWindowAttributes (display, window, &attributes) == 0 || attributes.map_state != IsViewable)
    {
        XCloseDisplay (display);
        reason = "the window is not visible";
        return false;
    }
    // The server reads only what is on the screen (any other part of the window
    // fails the whole read with BadMatch): the picture is the part on the screen.
    int left = 0, top = 0;
    Window child = 0;
    XWindowAttributes screen {};
    if (XTranslateCoordinates (display, window, attributes.root, 0, 0, &left, &top, &child) == 0
        || XGetWindowAttributes (display, attributes.root, &screen) == 0)
    {
        XCloseDisplay (display);
        reason = "the window could not be read";
        return false;
    }
    const int firstX = std::max (0, -left), firstY = std::max (0, -top);
    const int width = std::min (attributes.width, screen.width - left) - firstX;
    const int height = std::min (attributes.height, screen.height - top) - firstY;
    if (width <= 0 || height <= 0)
    {
        XCloseDisplay (display);
        reason = "the window is off the screen";
        return false;
    }
    XImage* image = XGetImage (display, window, firstX, firstY, static_cast<unsigned> (width), static_cast<unsigned> (height), AllPlanes, ZPixmap);
    if (image == nullptr)
    {
        XCloseDisplay (display);
        reason = "the window could not be read";
        return false;
    }
    std::vector<unsigned char> rgb;
    rgb.reserve (static_cast<size_t> (width) * static_cast<size_t> (height) * 3);
    for (int y = 0; y < height; ++y)
    {
        for (int xx = 0; xx < width; ++xx)
        {
            const unsigned long pixel = XGetPixel (image, xx, y);
            rgb.push_back (static_cast<unsigned char> ((pixel & image->red_mask) >> __builtin_ctzl (image->red_mask | 1ul << 63)));
            rgb.push_back (static_cast<unsigned char> ((pixel & image->green_mask) >> __builtin_ctzl (image->green_mask | 1ul << 63)));
            rgb.push_back (static_cast<unsigned char> ((pixel & image->blue_mask) >> __builtin_ctzl (image->blue_mask | 1ul << 63)));
        }
    }
    XDestroyImage (image);
    XCloseDisplay (display);
    if (! writePng (pngPath, width, height, rgb))
    {
        reason = "could not write " + pngPath;
        return false;
    }
    return true;
}
} // namespace maxhost
