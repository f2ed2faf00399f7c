#pragma once

#include "common/Exception.h"
#include "common/PresetElement.h"
#include "text/StringArray.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

/** The library's exception reports, caught for as long as this lives instead of
    going to the system log (an inner one starts the list again). */
class CaughtReports
{
public:
    CaughtReports() : previous (kul::SetReportSink ([] (const std::string& text) { texts().push_back (text); })) { texts().clear(); }
    ~CaughtReports() { kul::SetReportSink (previous); }
    CaughtReports (const CaughtReports&) = delete;

    static std::vector<std::string>& texts()
    {
        static std::vector<std::string> caught;
        return caught;
    }

private:
    kul::ReportSink previous;
};

/** "message @file:line" of an operation that must throw a library exception, marked
    when the exception was not reported exactly once, with its file and line. */
template <typename Operation>
std::string failureOf (Operation&& operation)
{
    const CaughtReports reports;
    try
    {
        operation();
    }
    catch (const kul::Exception& e)
    {
        const std::string file = e.GetFileName(), line = std::to_string (e.GetLine());
        const std::string place = file.empty() ? ": " : "in file \"" + file + "\" (line " + line + "): \n";
        const auto& texts = CaughtReports::texts();
        const bool reported = texts.size() == 1 && texts[0].rfind ("Exception occured " + place + e.what() + "\n", 0) == 0;
        return e.what() + (" @" + file + ":" + line) + (reported ? "" : " (not reported)");
    }
    return "no exception";
}

/** A new folder below the parent, removed with all it holds, read-only folders too;
    its path is empty when it could not be made. */
struct TemporaryFolder
{
    explicit TemporaryFolder (const std::string& parent = std::filesystem::temp_directory_path().string())
    {
        std::string pattern = parent + "/kul-test-XXXXXX";
        path = ::mkdtemp (pattern.data()) != nullptr ? std::filesystem::canonical (pattern).string() : std::string();
    }

    ~TemporaryFolder()
    {
        namespace fs = std::filesystem;
        std::error_code error;
        for (fs::recursive_directory_iterator entry (path, error), end; ! error && entry != end; entry.increment (error))
            if (entry->is_directory (error) && ! entry->is_symlink (error))
                fs::permissions (entry->path(), fs::perms::owner_all, fs::perm_options::add, error);
        if (! path.empty())
            fs::remove_all (path, error);
    }

    TemporaryFolder (const TemporaryFolder&) = delete;

    std::string path;
};

inline void writeFile (const std::string& path, const std::string& bytes) { std::ofstream (path, std::ios::binary) << bytes; }

inline std::string readFile (const std::string& path)
{
    std::ifstream stream (path, std::ios::binary);
    return { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
}

using Texts = std::vector<std::string>;

inline Texts textsOf (const kul::StringArray& array) { return { array.begin(), array.end() }; }

/** Tags, attributes and children of a subtree written out, to compare whole trees. */
inline std::string describe (const PresetElement& element)
{
    std::string text = "<" + element.GetTagName();
    for (const auto* attribute = element.GetFirstAttribute(); attribute != nullptr; attribute = attribute->next)
        text += " " + attribute->name + "=" + attribute->value;
    text += ">";
    for (const auto* child = element.GetFirstChildElement(); child != nullptr; child = child->GetNextElement())
        text += describe (*child);
    return text + "</>";
}
