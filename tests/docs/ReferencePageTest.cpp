#include "GlueTestClass.h"

#include "docs/MaxXmlDocumentation.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <pwd.h>
#include <unistd.h>

using namespace gluetest;

namespace
{
// The page of the test class, as the host's help browser expects it.
const std::string expectedPage = readFile (REFERENCE_PAGE_GOLDEN);

const char* const homeVariables[] = { "home", "HOME", "HOMESHARE", "HOMEDRIVE", "HOMEPATH" };

// Sets the home variables for one test and puts the previous ones back afterwards.
class HomeVariables
{
public:
    explicit HomeVariables (const std::map<std::string, std::string>& values)
    {
        for (const char* name : homeVariables)
        {
            const char* value = std::getenv (name);
            saved[name] = value != nullptr ? std::optional<std::string> (value) : std::nullopt;
            unsetenv (name);
        }
        for (const auto& [name, value] : values)
            setenv (name.c_str(), value.c_str(), 1);
    }

    ~HomeVariables()
    {
        for (const auto& [name, value] : saved)
        {
            if (value)
                setenv (name.c_str(), value->c_str(), 1);
            else
                unsetenv (name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved;
};

std::string pagePath (const std::string& folder)
{
    return folder + "/" + className + ".maxref.xml";
}
} // namespace

using ReferencePageTest = GlueTest;

TEST_F (ReferencePageTest, PageOfTheTestClassIsWrittenByteForByte)
{
    TemporaryFolder folder;
    const HomeVariables home ({ { "HOME", folder.path() } });
    auto* x = asObject (makeProbe());

    maxhost::send (x, "generatexml");
    EXPECT_EQ (readFile (pagePath (folder.path())), expectedPage);
    EXPECT_EQ (texts (maxhost::Severity::post), std::vector<std::string> { "documentation generated in " + pagePath (folder.path()) });
}

TEST_F (ReferencePageTest, SecondRunOverwritesThePageAndWorkFromTheSchedulerRunsOnTheMainThread)
{
    TemporaryFolder folder;
    const HomeVariables home ({ { "home", folder.path() } });
    auto* x = asObject (makeProbe());
    std::ofstream (pagePath (folder.path())) << "an older and much longer page than the one that will replace it\n" << expectedPage;

    maxhost::sendFromScheduler (x, "generatexml");
    maxhost::pumpMainThread();
    EXPECT_EQ (readFile (pagePath (folder.path())), expectedPage);
    for (const auto& entry : maxhost::console())
        EXPECT_EQ (entry.role, maxhost::ThreadRole::main) << entry.text;
}

TEST_F (ReferencePageTest, HomeVariablesAreReadInTheirOrder)
{
    TemporaryFolder first, second;
    {
        const HomeVariables home ({ { "home", first.path() }, { "HOME", second.path() } });
        maxhost::send (asObject (makeProbe()), "generatexml");
        EXPECT_TRUE (std::filesystem::exists (pagePath (first.path())));
        EXPECT_FALSE (std::filesystem::exists (pagePath (second.path())));
    }

    const struct
    {
        std::map<std::string, std::string> variables;
        std::string folder;
    } cases[] = {
        { { { "HOME", "/h" }, { "HOMESHARE", "/s" } }, "/h" },
        { { { "home", "" }, { "HOME", "/h" } }, "/h" },
        { { { "HOMESHARE", "/s" }, { "HOMEDRIVE", "/d" }, { "HOMEPATH", "/p" } }, "/s/p" },
        { { { "HOMEDRIVE", "/d" }, { "HOMEPATH", "/p" } }, "/d/p" },
        { { { "HOMEDRIVE", "/d" } }, "/d" },
    };
    for (const auto& c : cases)
    {
        const HomeVariables home (c.variables);
        EXPECT_EQ (MaxXmlDocumentation::GetDocumentationFolder(), c.folder);
    }
}

TEST_F (ReferencePageTest, WithoutHomeVariablesTheUserDatabaseHomeIsUsed)
{
    const HomeVariables home ({});
    const auto* entry = getpwuid (getuid());
    ASSERT_NE (entry, nullptr);
    EXPECT_EQ (MaxXmlDocumentation::GetDocumentationFolder(), entry->pw_dir);
}

TEST_F (ReferencePageTest, UnwritableFolderIsReportedAndNothingClaimsSuccess)
{
    TemporaryFolder folder;
    const auto missing = folder.path() + "/missing";
    const HomeVariables home ({ { "HOME", missing } });
    maxhost::send (asObject (makeProbe()), "generatexml");

    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "could not create " + pagePath (missing) });
    EXPECT_TRUE (texts (maxhost::Severity::post).empty());
    EXPECT_FALSE (std::filesystem::exists (missing));
}

TEST_F (ReferencePageTest, ReadersGiveTheClassRecords)
{
    TemporaryFolder folder;
    const HomeVariables home ({ { "HOME", folder.path() } });
    auto* x = asObject (makeProbe());
    const MaxXmlDocumentation page (x, "other.xsl", 2, "c");
    EXPECT_NE (readFile (pagePath (folder.path())).find ("<?xml-stylesheet href=\"other.xsl\" type=\"text/xsl\"?>"), std::string::npos);

    kul::StringArray argumentNames, argumentTypes, descriptions;
    page.GetObjectListOfArguments (argumentNames, argumentTypes, descriptions);
    EXPECT_EQ (argumentNames, names ({ "None" }));
    EXPECT_EQ (argumentTypes, names ({ "" }));

    std::vector<MaxXmlDocumentation::MethodDescription> methods;
    page.getObjectMethodsDescription (methods);
    ASSERT_EQ (methods.size(), 13u);
    EXPECT_EQ (methods.back().name, "postdspstatus");
    EXPECT_EQ (methods[5].name, "postattributes");
    EXPECT_EQ (methods[5].argumentNames, names ({ "name of the attribute" }));
    EXPECT_EQ (methods[5].argumentTypes, names ({ "symbol" }));

    // Sort mode 2: attributes with an "order" first.
    const auto text = readFile (pagePath (folder.path()));
    EXPECT_LT (text.find ("<attribute name=\"gain\""), text.find ("<attribute name=\"count\""));
    EXPECT_LT (text.find ("<attribute name=\"steps\""), text.find ("<attribute name=\"colour\""));
}

TEST_F (ReferencePageTest, ClassWithoutDocumentationGivesEmptySections)
{
    TemporaryFolder folder;
    const HomeVariables home ({ { "HOME", folder.path() } });
    static t_class* bare = nullptr;
    bare = class_new ("", oskelmax_method (+[] (t_symbol*, long, t_atom*) -> void* { return object_alloc (bare); }), nullptr,
                      sizeof (t_oskelmax_object), nullptr, A_GIMME, 0);
    oskelmax_addstandardmethods (bare);
    class_register (CLASS_BOX, bare);
    auto* x = static_cast<t_object*> (object_alloc (bare));
    ASSERT_NE (x, nullptr);
    maxhost::clearRecordings();

    oskelmax_generatexml (x);
    const auto text = readFile (folder.path() + "/.maxref.xml");
    EXPECT_NE (text.find ("<c74object name=\"\">\n\t<digest>\n\t\t\n\t</digest>"), std::string::npos) << "an empty class name";
    EXPECT_NE (text.find ("\t\t<metadata name=\"version\">\n\t\tunknown version\n"), std::string::npos);
    EXPECT_NE (text.find ("\t<inletlist>\n\t</inletlist>\n"), std::string::npos);
    EXPECT_NE (text.find ("\t<methodlist>\n\t</methodlist>\n"), std::string::npos);
    EXPECT_NE (text.find ("\t<seealsolist>\n\t\t<seealso name=\"\" />\n\t</seealsolist>\n"), std::string::npos);
    EXPECT_EQ (texts (maxhost::Severity::post),
               (std::vector<std::string> { "MaxXmlDocumentation::GetObjectListOfInletsDescription no classdescription class attribute",
                                           "MaxXmlDocumentation::GetObjectListOfOutletsDescription no classdescription class attribute",
                                           "MaxXmlDocumentation::GetObjectListOfArguments no classdescription class attribute",
                                           "MaxXmlDocumentation::getObjectMethodsDescription no classdescription class attribute",
                                           "documentation generated in " + folder.path() + "/.maxref.xml" }));
    object_free (x);
}
