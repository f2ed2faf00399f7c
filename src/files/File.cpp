#include "files/File.h"

#include "common/Exception.h"
#include "files/ScopedAutoreleasePool.h"
#include "text/StringArray.h"
#include "text/StringHelper.h"

#include "cocoa/Foundation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "files/OskelDspFile";

bool isFolder (const std::string& path)
{
    struct stat info;
    return ! path.empty() && ::stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
}

bool isAccessible (const std::string& path)
{
    return ! path.empty() && ::access (path.c_str(), F_OK) == 0;
}

// The entry itself, so that a dangling symbolic link counts as something to remove.
bool hasEntry (const std::string& path)
{
    struct stat info;
    return ! path.empty() && ::lstat (path.c_str(), &info) == 0;
}

std::string parentPathOf (const std::string& path)
{
    const auto slash = path.rfind ('/');

    if (slash == std::string::npos)
        return path;

    if (slash == 0)
        return "/";

    return path.substr (0, slash);
}

/** The home folder of a user from the user database; empty when unknown. */
std::string findHomeOfUser (const std::string& name)
{
    if (name.empty())
        return {};

    const long suggested = ::sysconf (_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer (suggested > 0 ? static_cast<size_t> (suggested) : 16384);
    passwd entry {};
    passwd* result = nullptr;

    while (::getpwnam_r (name.c_str(), &entry, buffer.data(), buffer.size(), &result) == ERANGE)
        buffer.resize (buffer.size() * 2);

    if (result == nullptr || result->pw_dir == nullptr || result->pw_dir[0] != '/')
        return {};

    return result->pw_dir;
}

std::string expandHome (const std::string& text)
{
    if (text.size() > 1 && text[1] != '/')
    {
        const auto slash = text.find ('/');
        const auto name = text.substr (1, slash == std::string::npos ? std::string::npos : slash - 1);
        std::string home = findHomeOfUser (name);

        if (home.empty())
            return text;

        if (home.back() != '/')
            home += '/';

        return slash == std::string::npos ? home : home + text.substr (slash + 1);
    }

    std::string home = File::GetHomeDirectory().GetFullPathName();
    const std::string rest = text.substr (1);

    // A home of "/" must not turn '~/x' into '//x'.
    if (! home.empty() && home.back() == '/' && ! rest.empty() && rest.front() == '/')
        home.pop_back();

    return home + rest;
}

std::string normalise (const std::string& text)
{
    if (text.empty())
        return {};

    std::string p = text;
    StringHelper::Trim (p);
    StringHelper::ReplaceAll (p, "\\ ", " ");

    if (! p.empty() && p.front() == '~')
        p = expandHome (p);
    else if (p.empty() || p.front() != '/')
        return File::GetCurrentWorkingDirectory().GetChildFile (p).GetFullPathName();

    while (p.size() > 1 && p.back() == '/')
        p.pop_back();

    return p;
}

bool createDirectoryAt (const std::string& path)
{
    if (isFolder (path))
        return true;

    const std::string parent = parentPathOf (path);

    if (parent == path)
        throw Exception ("Cannot create directory " + StringHelper::Quoted (path), sourceFile, 1883, true, false);

    if (! createDirectoryAt (parent))
        return false;

    const std::string folder = StringHelper::RemoveTrailingRepeats (path, "/");

    if (::mkdir (folder.c_str(), 0777) >= 0)
        return true;

    // Someone else may have made it between our look and our mkdir.
    return errno == EEXIST && isFolder (folder);
}

/** "name 2.ext", "name 3.ext", ... : the first name not taken in the folder. */
std::string findFreeName (const std::string& folder, const std::string& name)
{
    std::string candidate = File::CombinePath (folder, name);
    const auto dot = name.rfind ('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr (0, dot) : name;
    const std::string extension = hasExtension ? name.substr (dot) : std::string();

    for (int number = 2; hasEntry (candidate); ++number)
        candidate = File::CombinePath (folder, stem + " " + std::to_string (number) + extension);

    return candidate;
}

} // namespace

File::File (const std::string& text)
{
    // Only the library's exceptions may leave a constructor.
    try
    {
        path = normalise (text);
    }
    catch (const Exception&)
    {
        throw;
    }
    catch (const std::exception& caught)
    {
        throw Exception (caught, sourceFile, 0, false, false);
    }
    catch (...)
    {
        throw UnknownException (sourceFile, 0, false, false);
    }
}

File::File (const char* text)
    : File (std::string (text != nullptr ? text : ""))
{
}

std::string File::GetFileName() const
{
    const auto slash = path.rfind ('/');
    return slash == std::string::npos ? path : path.substr (slash + 1);
}

std::string File::GetFileExtension() const
{
    const auto dot = path.rfind ('.');
    const auto slash = path.rfind ('/');

    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};

    return path.substr (dot);
}

bool File::HasFileExtension (const StringArray& extensions) const
{
    for (const auto& entry : extensions)
        if (HasFileExtension (entry))
            return true;

    return false;
}

bool File::HasFileExtension (const std::string& extensions) const
{
    const std::string own = GetFileExtension();

    if (extensions.empty())
        return own.empty();

    std::string extension = own.empty() ? own : own.substr (1);
    StringHelper::ToLowerCase (extension);

    for (auto piece : StringHelper::Split (extensions, " ", true))
    {
        if (! piece.empty() && piece.front() == '.')
            piece.erase (0, 1);

        StringHelper::ToLowerCase (piece);

        if (piece == extension)
            return true;
    }

    return false;
}

bool File::ExistsAsFile() const
{
    return isAccessible (path) && ! isFolder (path);
}

std::string File::GetParentDirectoryPath() const
{
    return parentPathOf (path);
}

File File::GetChildFile (const std::string& relativePath) const
{
    if (! relativePath.empty() && (relativePath.front() == '/' || relativePath.front() == '~'))
        return File (relativePath);

    std::string result = path;
    const size_t length = relativePath.size();
    size_t i = 0;

    const auto skipSlashes = [&]
    {
        while (i < length && relativePath[i] == '/')
            ++i;
    };

    while (i < length && relativePath[i] == '.')
    {
        const bool endsAfterDot = i + 1 == length || relativePath[i + 1] == '/';
        const bool isParentStep = ! endsAfterDot && relativePath[i + 1] == '.'
                                  && (i + 2 == length || relativePath[i + 2] == '/');

        if (endsAfterDot)
        {
            i += 1;
        }
        else if (isParentStep)
        {
            if (const auto slash = result.rfind ('/'); slash != std::string::npos)
                result.erase (slash);

            i += 2;
        }
        else
        {
            break; // a name such as '.hidden' or '..x'
        }

        skipSlashes();
    }

    if (! StringHelper::EndsWithCharacter (result, '/'))
        result += '/';

    StringHelper::AppendCharPointer (result, relativePath.c_str() + i);
    return File (result);
}

File File::GetCurrentWorkingDirectory()
{
    const std::unique_ptr<char, decltype (&std::free)> folder (::getcwd (nullptr, 0), &std::free);

    // Anything but an absolute answer would send construction back here.
    if (folder == nullptr || folder.get()[0] != '/')
        return File ("/");

    return File (std::string (folder.get()));
}

File File::GetHomeDirectory()
{
    // A relative value would be resolved through the home or working folder again;
    // such a value names no home and is passed over.
    for (const char* variable : { "HOME", "home" })
    {
        if (const char* value = std::getenv (variable))
        {
            std::string text (value);
            StringHelper::Trim (text);

            if (! text.empty() && text.front() == '/')
                return File (text);
        }
    }

    return GetCurrentWorkingDirectory();
}

std::string File::CombinePath (const std::string& folder, const std::string& name)
{
    std::string text = folder;

    if (! StringHelper::EndsWithCharacter (text, '/'))
        text += '/';

    text += name;
    return File (text).GetFullPathName();
}

bool File::HasWriteAccess() const
{
    for (std::string current = path;;)
    {
        // Nothing can be made under a plain file, however writable the file is.
        if (isAccessible (current))
            return ::access (current.c_str(), W_OK) == 0 && (current == path || isFolder (current));

        if (isFolder (current) || current.find ('/') == std::string::npos)
            return false;

        const std::string parent = parentPathOf (current);

        if (parent == current)
            return false;

        current = parent;
    }
}

bool File::DeleteFile() const
{
    struct stat info;

    if (path.empty())
        return true;

    if (::lstat (path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR;

    if (S_ISDIR (info.st_mode))
        return ::rmdir (path.c_str()) == 0;

    return std::remove (path.c_str()) == 0;
}

bool File::MoveToTrash() const
{
    if (! hasEntry (path))
        return true;

    // The root has no name to stand under in a trash.
    if (GetFileName().empty())
        return false;

    {
        ScopedAutoreleasePool pool;
        NSWorkspaceRecycleFile (GetParentDirectoryPath(), GetFileName());
    }

    if (! hasEntry (path))
        return true;

    try
    {
        const File trashFolder ("~/.Trash/");

        if (! trashFolder.CreateDirectory())
            return false;

        // An earlier item of the same name stays in the trash rather than being deleted.
        return MoveFileTo (File (findFreeName (trashFolder.GetFullPathName(), GetFileName())));
    }
    catch (const Exception&)
    {
        return false;
    }
}

bool File::MoveFileTo (const File& target) const
{
    if (path == target.path)
        return true;

    if (! hasEntry (path) || ! target.DeleteFile())
        return false;

    if (::rename (path.c_str(), target.path.c_str()) == 0)
        return true;

    if (! HasWriteAccess())
        return false;

    bool copied = false;

    {
        ScopedAutoreleasePool pool;
        copied = NSFileManagerFileExistsAtPath (path) && NSFileManagerCopyItem (path, target.path);
    }

    if (! copied)
        return false;

    if (DeleteFile())
        return true;

    // The source stays; so must nothing of the copy, even a whole folder of it.
    std::error_code ignored;
    std::filesystem::remove_all (target.path, ignored);
    return false;
}

bool File::CreateDirectory() const
{
    return createDirectoryAt (path);
}

bool File::CreateParentDirectory() const
{
    return isFolder (path) || createDirectoryAt (parentPathOf (path));
}

bool File::PrepareForWriting (bool overwrite) const
{
    if (ExistsAsFile())
    {
        if (! overwrite)
            throw Exception ("File already exists " + StringHelper::Quoted (path), sourceFile, 1991, true, false);

        if (! MoveToTrash())
            throw Exception ("Error deleting " + StringHelper::Quoted (path), sourceFile, 1984, true, false);
    }
    else if (isFolder (path))
    {
        throw Exception (StringHelper::Quoted (path) + " is a folder", sourceFile, 2002, true, false);
    }

    return true;
}

} // namespace kul
