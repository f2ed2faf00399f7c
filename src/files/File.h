#pragma once

#include <string>

namespace kul
{
class StringArray;

/** An absolute, normalised path and the file-system operations on it.

    A path built from a non-empty text is absolute and has no trailing "/" (except the
    root itself); '~' and '~/…' name the home folder, '~user/…' that user's home (left
    unchanged when the user is unknown), and relative texts are taken from the current
    working directory. Only CreateDirectory and PrepareForWriting throw; the other
    operations answer false for what the file system refuses. */
class File
{
public:
    File() = default;
    File (const std::string& path);
    File (const char* path);
    File (const File&) = default;
    File& operator= (const File&) = default;
    ~File() = default;

    const std::string& GetFullPathName() const noexcept { return path; }

    /** The text after the last "/" (the whole path when it holds none). */
    std::string GetFileName() const;

    /** The text from the last "." (dot included) when it lies after the last "/"; else empty. */
    std::string GetFileExtension() const;

    /** True when any entry matches by the rule of the one-text form. */
    bool HasFileExtension (const StringArray& extensions) const;

    /** Space-separated extensions, with or without their dot, compared ignoring case;
        an empty text (or an empty piece) matches a file without extension. */
    bool HasFileExtension (const std::string& extensions) const;

    bool ExistsAsFile() const;

    /** The path up to its last "/"; "/" for a file at the root; the path itself when it holds no "/". */
    std::string GetParentDirectoryPath() const;

    /** Resolves leading "./" and "../" steps against this path; a text beginning with
        "/" or "~" stands by itself. */
    File GetChildFile (const std::string& relativePath) const;

    /** The working directory; "/" when it cannot be determined. */
    static File GetCurrentWorkingDirectory();

    /** HOME, else "home" (each only when it holds an absolute path), else the working directory. */
    static File GetHomeDirectory();

    static std::string CombinePath (const std::string& folder, const std::string& name);

    bool HasWriteAccess() const;

    /** True when nothing is left at the path; a folder is removed only when it is empty. */
    bool DeleteFile() const;

    /** True when nothing is left at the path: the item went to the user's trash, or
        failing that to a free name in "~/.Trash/". */
    bool MoveToTrash() const;

    /** Renames, or copies and deletes across file systems; true when the item now
        stands at the target. Whatever stood at the target is deleted first. */
    bool MoveFileTo (const File& target) const;

    /** True when the folder exists afterwards; missing parents are created first.
        Throws kul::Exception for a path without any "/". */
    bool CreateDirectory() const;

    bool CreateParentDirectory() const;

    /** Makes way for a writer: an existing file is trashed (with overwrite) or refused.
        Throws kul::Exception when the file exists without overwrite, cannot be trashed,
        or the path is a folder. */
    bool PrepareForWriting (bool overwrite) const;

private:
    std::string path;
};

} // namespace kul
