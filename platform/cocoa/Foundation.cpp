#include "cocoa/Foundation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// Pools hold nothing here; the handle only has to be distinct from null.
char poolToken = 0;

std::string getUserHome()
{
    // The same rule as the file code: a HOME that is not absolute is no home.
    if (const char* home = std::getenv ("HOME"); home != nullptr && home[0] == '/')
        return home;

    long size = ::sysconf (_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer (size > 0 ? static_cast<size_t> (size) : 16384);
    passwd entry {};
    passwd* result = nullptr;

    while (::getpwuid_r (::getuid(), &entry, buffer.data(), buffer.size(), &result) == ERANGE)
        buffer.resize (buffer.size() * 2);

    if (result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/')
        return result->pw_dir;

    return {};
}

std::string joinPath (const std::string& folder, const std::string& name)
{
    if (! folder.empty() && folder.back() == '/')
        return folder + name;

    return folder + "/" + name;
}

// The trash records paths as URLs: everything but the unreserved characters and "/" is escaped.
std::string percentEncode (std::string_view text)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string result;

    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char> (c);

        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
            || byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/')
        {
            result += c;
        }
        else
        {
            result += '%';
            result += hexDigits[byte >> 4];
            result += hexDigits[byte & 15];
        }
    }

    return result;
}

std::string localTimeStamp()
{
    const std::time_t now = std::time (nullptr);
    std::tm local {};
    ::localtime_r (&now, &local);
    char text[32] = {};
    std::strftime (text, sizeof (text), "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// "report.txt", "report.2.txt", "report.3.txt", ...
std::string candidateName (const std::string& name, int attempt)
{
    if (attempt == 1)
        return name;

    const fs::path asPath (name);
    return asPath.stem().string() + "." + std::to_string (attempt) + asPath.extension().string();
}

bool makeFolder (const fs::path& folder, fs::perms mode)
{
    std::error_code error;

    if (fs::is_directory (folder, error))
        return true;

    if (fs::create_directory (folder, error))
        fs::permissions (folder, mode, fs::perm_options::replace, error);

    return fs::is_directory (folder, error);
}

// A hand-made walk rather than one recursive std::filesystem::copy: a folder's own
// permissions are applied only once its content is in, so that read-only folders copy.
bool copyTree (const fs::path& source, const fs::path& target)
{
    std::error_code error;
    const auto status = fs::symlink_status (source, error);

    if (error)
        return false;

    if (fs::is_directory (status))
    {
        if (! fs::create_directory (target, error) || error)
            return false;

        fs::directory_iterator entry (source, error);

        for (; ! error && entry != fs::directory_iterator(); entry.increment (error))
            if (! copyTree (entry->path(), target / entry->path().filename()))
                return false;

        if (error)
            return false;
    }
    else if (fs::is_symlink (status) || fs::is_regular_file (status))
    {
        fs::copy (source, target, fs::copy_options::copy_symlinks, error);

        if (error || fs::is_symlink (status))
            return ! error;
    }
    else
    {
        return false;
    }

    fs::permissions (target, status.permissions(), fs::perm_options::replace, error);
    return ! error;
}

bool isInside (const fs::path& inner, const fs::path& outer)
{
    std::error_code error;
    const auto innerPath = fs::weakly_canonical (inner, error);

    if (error)
        return false;

    const auto outerPath = fs::weakly_canonical (outer, error);

    if (error)
        return false;

    auto o = outerPath.begin();
    auto i = innerPath.begin();

    for (; o != outerPath.end(); ++o, ++i)
        if (i == innerPath.end() || *i != *o)
            return false;

    return true;
}

bool writeAll (int descriptor, const std::string& text)
{
    size_t written = 0;

    while (written < text.size())
    {
        const auto result = ::write (descriptor, text.data() + written, text.size() - written);

        if (result < 0 && errno == EINTR)
            continue;

        if (result <= 0)
            return false;

        written += static_cast<size_t> (result);
    }

    return true;
}

bool moveAcrossFileSystems (const fs::path& source, const fs::path& target)
{
    if (! copyTree (source, target))
    {
        std::error_code ignored;
        fs::remove_all (target, ignored);
        return false;
    }

    // The trash holds a complete copy now; even a partial removal loses nothing.
    std::error_code error;
    fs::remove_all (source, error);
    return ! error;
}

} // namespace

void* NSAutoreleasePoolCreate() noexcept
{
    return &poolToken;
}

void NSAutoreleasePoolRelease (void*) noexcept
{
}

bool NSFileManagerFileExistsAtPath (const std::string& path) noexcept
{
    struct stat info;
    return ! path.empty() && ::stat (path.c_str(), &info) == 0;
}

bool NSFileManagerCopyItem (const std::string& source, const std::string& target) noexcept
{
    try
    {
        std::error_code error;

        if (source.empty() || target.empty() || ! fs::exists (fs::symlink_status (source, error))
            || fs::exists (fs::symlink_status (target, error)))
            return false;

        // A folder copied into itself would never end.
        if (fs::is_directory (fs::symlink_status (source, error)) && isInside (target, source))
            return false;

        if (copyTree (source, target))
            return true;

        fs::remove_all (target, error);
        return false;
    }
    catch (...)
    {
        return false;
    }
}

bool NSWorkspaceRecycleFile (const std::string& folder, const std::string& name) noexcept
{
    try
    {
        if (name.empty() || name == "." || name == ".." || name.find ('/') != std::string::npos)
            return false;

        const std::string source = joinPath (folder, name);
        struct stat info;

        if (::lstat (source.c_str(), &info) != 0)
            return false;

        const std::string home = getUserHome();

        if (home.empty())
            return false;

        std::error_code error;
        const fs::path dataFolder = fs::path (home) / ".local" / "share";
        const fs::path trash = dataFolder / "Trash";
        fs::create_directories (dataFolder, error);

        constexpr auto ownerOnly = fs::perms::owner_all;

        if (! makeFolder (trash, ownerOnly) || ! makeFolder (trash / "files", ownerOnly)
            || ! makeFolder (trash / "info", ownerOnly))
            return false;

        const std::string record = "[Trash Info]\nPath=" + percentEncode (fs::absolute (source).string())
                                   + "\nDeletionDate=" + localTimeStamp() + "\n";

        for (int attempt = 1; attempt < 100000; ++attempt)
        {
            const std::string candidate = candidateName (name, attempt);
            const fs::path trashed = trash / "files" / candidate;
            const fs::path infoFile = trash / "info" / (candidate + ".trashinfo");

            if (fs::exists (fs::symlink_status (trashed, error)))
                continue;

            // Creating the record exclusively reserves the name against other trashers.
            const int descriptor = ::open (infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);

            if (descriptor < 0)
            {
                if (errno == EEXIST)
                    continue;

                return false;
            }

            const bool written = writeAll (descriptor, record);

            if (::close (descriptor) != 0 || ! written)
            {
                ::unlink (infoFile.c_str());
                return false;
            }

            if (::rename (source.c_str(), trashed.c_str()) == 0)
                return true;

            if (errno == EXDEV)
            {
                if (moveAcrossFileSystems (source, trashed))
                    return true;

                // Keep the record when a complete copy made it into the trash.
                if (! fs::exists (fs::symlink_status (trashed, error)))
                    ::unlink (infoFile.c_str());

                return false;
            }

            ::unlink (infoFile.c_str());
            return false;
        }

        return false;
    }
    catch (...)
    {
        return false;
    }
}
