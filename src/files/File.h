#pragma once

#include <string>

namespace kul
{
class StringArray;

/** An absolute, normalised path and the file-system operations on it. */
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
    std::string GetFileName() const;
    std::string GetFileExtension() const;
    bool HasFileExtension (const StringArray& extensions) const;
    bool HasFileExtension (const std::string& extensions) const;
    bool ExistsAsFile() const;
    std::string GetParentDirectoryPath() const;
    File GetChildFile (const std::string& relativePath) const;

    static File GetCurrentWorkingDirectory();
    static File GetHomeDirectory();
    static std::string CombinePath (const std::string& folder, const std::string& name);

    bool HasWriteAccess() const;
    bool DeleteFile() const;
    bool MoveToTrash() const;
    bool MoveFileTo (const File& target) const;
    bool CreateDirectory() const;
    bool CreateParentDirectory() const;
    bool PrepareForWriting (bool overwrite) const;

private:
    std::string path;
};

} // namespace kul
