#include "files/File.h"

#include "cocoa/Foundation.h"
#include "text/StringArray.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
void setVariable (const char* name, const std::optional<std::string>& value)
{
    value ? ::setenv (name, value->c_str(), 1) : ::unsetenv (name);
}

bool hasEntry (const std::string& path)
{
    std::error_code error;
    return fs::exists (fs::symlink_status (path, error));
}

fs::perms permissionsOf (const std::string& path) { return fs::symlink_status (path).permissions(); }

/** A temporary folder as working directory and home, TZ fixed; everything is put back afterwards. */
class FileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : { "HOME", "home", "TZ" })
        {
            const char* value = std::getenv (name);
            savedVariables.emplace_back (name, value != nullptr ? std::optional<std::string> (value) : std::nullopt);
        }
        ASSERT_FALSE (root.empty());
        fs::create_directory (home = root + "/home");
        fs::create_directory (work = root + "/work");
        ::setenv ("HOME", home.c_str(), 1);
        ::unsetenv ("home");
        ::setenv ("TZ", "UTC", 1);
        ::tzset();
        fs::current_path (work);
    }

    void TearDown() override
    {
        fs::current_path (savedFolder);
        for (const auto& [name, value] : savedVariables)
            setVariable (name.c_str(), value);
        ::tzset();
    }

    const TemporaryFolder folder;
    const std::string root = folder.path;
    std::string home, work;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> savedVariables;
    const std::string savedFolder = fs::current_path().string();
};
} // namespace

TEST_F (FileTest, ConstructionNormalisesTextsAndExpandsTheHomesOfUsers)
{
    const std::string up = fs::path (work).parent_path().string();
    const passwd* rootUser = ::getpwnam ("root");
    ASSERT_NE (rootUser, nullptr);
    const std::string rootHome = rootUser->pw_dir;
    const struct { std::string text, expected; } cases[] = {
        { "", "" }, { "   ", work }, { "/", "/" }, { "/a//", "/a" }, { "  /a/b  ", "/a/b" }, { "/a\\ b", "/a b" },
        { "~", home }, { "~/x", home + "/x" }, { "~root/x", rootHome + "/x" }, { "~root", rootHome },
        { "~nobodyknown/x", "~nobodyknown/x" }, { "x/y", work + "/x/y" }, { ".//x", work + "/x" }, { "../x", up + "/x" },
        { "..", up }, { ".", work }, { "..x", work + "/..x" }, { ".hidden/", work + "/.hidden" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (kul::File (c.text).GetFullPathName(), c.expected) << "text '" << c.text << "'";
    EXPECT_EQ (kul::File (static_cast<const char*> (nullptr)).GetFullPathName(), "");
    const struct { std::string relative, expected; } children[] = {
        { "", "/a/b/c" }, { "../../x", "/a/x" }, { "../../../../../x", "/x" }, { "./../x", "/a/b/x" },
        { "../.hidden", "/a/b/.hidden" }, { "x/../y", "/a/b/c/x/../y" }, { "/elsewhere/", "/elsewhere" }, { "~/y", home + "/y" },
    };
    for (const auto& c : children)
        EXPECT_EQ (kul::File ("/a/b/c").GetChildFile (c.relative).GetFullPathName(), c.expected) << c.relative;
}

TEST_F (FileTest, HomeDirectoryIgnoresVariablesThatAreNotAbsolute)
{
    const struct { std::optional<std::string> upper, lower; std::string expected; } cases[] = {
        { std::nullopt, root, root }, { "relative/home", root, root }, { "~", std::nullopt, work },
        { "~/sub", "", work }, { "/", std::nullopt, "/" }, { "  " + home + "/  ", std::nullopt, home },
    };
    for (const auto& c : cases)
    {
        setVariable ("HOME", c.upper);
        setVariable ("home", c.lower);
        EXPECT_EQ (kul::File::GetHomeDirectory().GetFullPathName(), c.expected) << c.upper.value_or ("(unset)");
        EXPECT_EQ (kul::File ("~/x").GetFullPathName(), (c.expected == "/" ? "" : c.expected) + "/x");
    }
}

TEST_F (FileTest, WorkingDirectoryBeyondAKilobyteAndAfterItsRemoval)
{
    std::string deep = work;
    while (deep.size() <= 1500)
        ASSERT_TRUE (fs::create_directory (deep += "/" + std::string (60, 'd')));
    fs::current_path (deep);
    EXPECT_EQ (kul::File ("leaf").GetFullPathName(), deep + "/leaf");
    fs::create_directory (work + "/doomed");
    fs::current_path (work + "/doomed");
    fs::remove (work + "/doomed");
    EXPECT_EQ (kul::File::GetCurrentWorkingDirectory().GetFullPathName(), "/");
}

TEST_F (FileTest, NamesExtensionsAndParents)
{
    const struct { std::string path, parts; } cases[] = {
        { "/a.b/c", "c||/a.b" }, { "/a/c.tar.gz", "c.tar.gz|.gz|/a" }, { "/a/.hidden", ".hidden|.hidden|/a" },
        { "/a", "a||/" }, { "/", "||/" }, { "~nobodyknown", "~nobodyknown||~nobodyknown" },
    };
    for (const auto& c : cases)
    {
        const kul::File file (c.path);
        EXPECT_EQ (file.GetFileName() + "|" + file.GetFileExtension() + "|" + file.GetParentDirectoryPath(), c.parts);
    }
    const struct { std::string path, extensions; bool expected; } matches[] = {
        { "/x.aif", "wav .AIF", true }, { "/x.wav", "..wav", false }, { "/x", "", true }, { "/x.wav", "", false },
        { "/x", "wav  aif", true }, { "/x", "wav aif", false }, { "/a.b/c", "b", false },
    };
    for (const auto& c : matches)
        EXPECT_EQ (kul::File (c.path).HasFileExtension (c.extensions), c.expected) << c.path << " '" << c.extensions << "'";
    kul::StringArray list (2);
    list[1] = ".aif";
    EXPECT_EQ (kul::File ("/x.AIF").HasFileExtension (list) + kul::File ("/x").HasFileExtension (list), 2);
    EXPECT_FALSE (kul::File ("/x.mp3").HasFileExtension (list));
}

TEST_F (FileTest, ExistenceWriteAccessAndDeletionOfEmptyFoldersAndDanglingLinks)
{
    writeFile (work + "/f", "x");
    fs::create_directory (work + "/empty");
    fs::create_directories (work + "/full/inner");
    fs::create_symlink (work + "/nowhere", work + "/dangling");
    EXPECT_TRUE (kul::File (work + "/f").ExistsAsFile());
    EXPECT_FALSE (kul::File (work).ExistsAsFile());
    EXPECT_TRUE (kul::File (work + "/missing/deeper/file").HasWriteAccess());
    EXPECT_FALSE (kul::File (work + "/f/under-a-file").HasWriteAccess());
    EXPECT_FALSE (kul::File ("~nobodyknown/x").HasWriteAccess());
    fs::create_directory (work + "/locked");
    fs::permissions (work + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ (kul::File (work + "/locked/new").HasWriteAccess(), ::geteuid() == 0);
    for (const auto* name : { "/f", "/empty", "/dangling", "/missing" })
        EXPECT_TRUE (kul::File (work + name).DeleteFile() && ! hasEntry (work + name)) << name;
    EXPECT_FALSE (kul::File (work + "/full").DeleteFile());
    EXPECT_TRUE (fs::is_directory (work + "/full/inner"));
}

TEST_F (FileTest, CreateDirectoryMakesParentsAcceptsExistingFoldersAndRefusesFilesAndPathsWithoutSeparator)
{
    const CaughtReports reports;
    EXPECT_TRUE (kul::File (work + "/a/b/c").CreateDirectory());
    EXPECT_TRUE (fs::is_directory (work + "/a/b/c"));
    EXPECT_TRUE (kul::File (work + "/a/b/c").CreateDirectory());
    EXPECT_TRUE (kul::File ("/").CreateDirectory());
    writeFile (work + "/plain", "x");
    EXPECT_FALSE (kul::File (work + "/plain").CreateDirectory());
    EXPECT_FALSE (kul::File (work + "/plain/sub").CreateDirectory());
    EXPECT_TRUE (kul::File (work + "/p/q/file.txt").CreateParentDirectory());
    EXPECT_TRUE (fs::is_directory (work + "/p/q"));
    EXPECT_FALSE (hasEntry (work + "/p/q/file.txt"));
    EXPECT_TRUE (reports.texts().empty());
    for (const std::string text : { "~nobodyknown", "" })
        EXPECT_EQ (failureOf ([&] { kul::File (text).CreateDirectory(); }), "Cannot create directory \"" + text + "\" @OskelDspFile:1883");
}

TEST_F (FileTest, CreateDirectoryConcurrencyAllCallersSucceed)
{
    const std::string target = work + "/race/one/two/three/four";
    std::vector<char> results (8, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back ([&, i] { results[i] = kul::File (target).CreateDirectory() ? 1 : 0; });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ (results, std::vector<char> (8, 1));
}

TEST_F (FileTest, PrepareForWritingRefusesOrTrashesWhatStandsInTheWay)
{
    const std::string existing = work + "/out.mat";
    writeFile (existing, "old");
    EXPECT_EQ (failureOf ([&] { kul::File (existing).PrepareForWriting (false); }),
               "File already exists \"" + existing + "\" @OskelDspFile:1991");
    EXPECT_EQ (failureOf ([&] { kul::File (work).PrepareForWriting (true); }), "\"" + work + "\" is a folder @OskelDspFile:2002");
    EXPECT_TRUE (kul::File (work + "/new.mat").PrepareForWriting (false));
    EXPECT_TRUE (kul::File (existing).PrepareForWriting (true));
    EXPECT_EQ (readFile (home + "/.local/share/Trash/files/out.mat"), "old");

    // Neither the user's trash nor the fallback folder can take it.
    writeFile (existing, "new");
    fs::rename (home + "/.local/share/Trash", home + "/moved");
    writeFile (home + "/.local/share/Trash", "not a folder");
    writeFile (home + "/.Trash", "not a folder either");
    EXPECT_EQ (failureOf ([&] { kul::File (existing).PrepareForWriting (true); }), "Error deleting \"" + existing + "\" @OskelDspFile:1984");
    EXPECT_EQ (readFile (existing), "new");
}

TEST_F (FileTest, MoveToTrashCreatesTheUsersTrashRecordsItemsUnderFreeNamesOrFallsBackToHome)
{
    const std::string trash = home + "/.local/share/Trash";
    const std::string name = "a b%.txt";
    writeFile (work + "/" + name, "first");
    EXPECT_TRUE (kul::File (work + "/" + name).MoveToTrash());
    EXPECT_FALSE (hasEntry (work + "/" + name));
    EXPECT_EQ (readFile (trash + "/files/" + name), "first");
    EXPECT_EQ (permissionsOf (trash) & fs::perms::all, fs::perms::owner_all);
    const std::string info = readFile (trash + "/info/" + name + ".trashinfo");
    const std::string head = "[Trash Info]\nPath=" + work + "/a%20b%25.txt\nDeletionDate=";
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char end = 0;
    EXPECT_EQ (info.substr (0, head.size()), head);
    EXPECT_EQ (std::sscanf (info.c_str() + head.size(), "%4d-%2d-%2dT%2d:%2d:%2d%c",
                            &year, &month, &day, &hour, &minute, &second, &end), 7);
    EXPECT_EQ (info.size() - head.size(), 20u) << info;
    EXPECT_EQ (end, '\n');
    writeFile (work + "/" + name, "second");
    EXPECT_TRUE (kul::File (work + "/" + name).MoveToTrash());
    EXPECT_EQ (readFile (trash + "/files/" + name), "first");
    EXPECT_EQ (readFile (trash + "/files/a b%.2.txt"), "second");
    EXPECT_TRUE (hasEntry (trash + "/info/a b%.2.txt.trashinfo"));
    fs::create_directories (work + "/folder/inner");
    writeFile (work + "/folder/inner/f", "x");
    EXPECT_TRUE (kul::File (work + "/folder").MoveToTrash());
    EXPECT_EQ (readFile (trash + "/files/folder/inner/f"), "x");
    EXPECT_TRUE (kul::File (work + "/missing").MoveToTrash());
    EXPECT_FALSE (kul::File ("/").MoveToTrash());

    // When the user's trash cannot be made, items go to free names in ~/.Trash.
    fs::rename (trash, home + "/moved");
    writeFile (trash, "blocks the user's trash");
    for (const auto* content : { "first", "second" })
    {
        writeFile (work + "/n.txt", content);
        EXPECT_TRUE (kul::File (work + "/n.txt").MoveToTrash() && ! hasEntry (work + "/n.txt"));
    }
    EXPECT_EQ (readFile (home + "/.Trash/n.txt") + readFile (home + "/.Trash/n 2.txt"), "firstsecond");
}

TEST_F (FileTest, MoveFileToRenamesAndReplacesTheTargetButNeverAFullFolder)
{
    writeFile (work + "/s", "data");
    EXPECT_TRUE (kul::File (work + "/s").MoveFileTo (kul::File (work + "/s")));
    writeFile (work + "/t", "old");
    EXPECT_TRUE (kul::File (work + "/s").MoveFileTo (kul::File (work + "/t")));
    EXPECT_FALSE (hasEntry (work + "/s"));
    EXPECT_EQ (readFile (work + "/t"), "data");
    EXPECT_FALSE (kul::File (work + "/missing").MoveFileTo (kul::File (work + "/u")));
    EXPECT_FALSE (kul::File().MoveFileTo (kul::File (work + "/u")));
    fs::create_directories (work + "/full/inner");
    EXPECT_FALSE (kul::File (work + "/t").MoveFileTo (kul::File (work + "/full")));
    EXPECT_EQ (readFile (work + "/t"), "data");
    EXPECT_TRUE (fs::is_directory (work + "/full/inner"));
}

TEST_F (FileTest, MovesAndTrashingAcrossFileSystemsCopyWithModes)
{
    struct stat shared {}, temporary {};
    if (::stat ("/dev/shm", &shared) != 0 || ::stat (root.c_str(), &temporary) != 0 || shared.st_dev == temporary.st_dev
        || ::access ("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system";
    const TemporaryFolder otherFolder ("/dev/shm");
    const std::string other = otherFolder.path;
    ASSERT_FALSE (other.empty());
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    writeFile (work + "/f", "data");
    fs::permissions (work + "/f", mode);
    EXPECT_TRUE (kul::File (work + "/f").MoveFileTo (kul::File (other + "/f")));
    EXPECT_FALSE (hasEntry (work + "/f"));
    EXPECT_EQ (readFile (other + "/f"), "data");
    EXPECT_EQ (permissionsOf (other + "/f"), mode);

    // A folder with content cannot leave its place; no partial copy is left behind either.
    fs::create_directories (work + "/tree/inner");
    writeFile (work + "/tree/inner/g", "kept");
    EXPECT_FALSE (kul::File (work + "/tree").MoveFileTo (kul::File (other + "/tree")));
    EXPECT_EQ (readFile (work + "/tree/inner/g"), "kept");
    EXPECT_FALSE (hasEntry (other + "/tree"));

    // The trash, though, takes a whole folder from another file system.
    ::setenv ("HOME", other.c_str(), 1);
    EXPECT_TRUE (kul::File (work + "/tree").MoveToTrash());
    EXPECT_FALSE (hasEntry (work + "/tree"));
    EXPECT_EQ (readFile (other + "/.local/share/Trash/files/tree/inner/g"), "kept");
}

TEST_F (FileTest, CopyItemCopiesTreesWithModesAndLinksButNeverIntoItself)
{
    const std::string source = work + "/src";
    fs::create_directories (source + "/sub/readonly");
    writeFile (source + "/sub/readonly/f", "deep");
    writeFile (source + "/exec", "#!");
    fs::create_symlink ("exec", source + "/link");
    fs::permissions (source + "/exec", fs::perms::owner_all | fs::perms::group_exec);
    fs::permissions (source + "/sub", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::permissions (source + "/sub/readonly", fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_TRUE (NSFileManagerCopyItem (source, work + "/dst"));
    for (const std::string relative : { "", "/exec", "/sub", "/sub/readonly", "/sub/readonly/f" })
        EXPECT_EQ (permissionsOf (work + "/dst" + relative), permissionsOf (source + relative)) << relative;
    EXPECT_EQ (readFile (work + "/dst/sub/readonly/f"), "deep");
    EXPECT_EQ (fs::read_symlink (work + "/dst/link"), "exec");
    EXPECT_FALSE (NSFileManagerCopyItem (source, work + "/dst"));
    EXPECT_FALSE (NSFileManagerCopyItem (source, source + "/sub/inside"));
    EXPECT_FALSE (hasEntry (source + "/sub/inside"));
    EXPECT_FALSE (NSFileManagerCopyItem (work + "/missing", work + "/other"));
    fs::create_symlink (work + "/nowhere", work + "/dangling");
    EXPECT_TRUE (NSFileManagerFileExistsAtPath (source + "/link"));
    EXPECT_FALSE (NSFileManagerFileExistsAtPath (work + "/dangling"));
}
