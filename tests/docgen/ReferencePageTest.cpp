#include "GlueTestClass.h"

#include "docgen/MaxXmlDocumentation.h"
#include "maxglue/ClassDocumentation.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <pwd.h>
#include <unistd.h>

using namespace gluetest;

namespace
{
// The page of the test class, as the host's help browser expects it.
const std::string expectedPage = readFile (REFERENCE_PAGE_GOLDEN);

std::string pagePath (const std::string& folder, const std::string& name = className)
{
    return folder + "/" + name + ".maxref.xml";
}
} // namespace

// HOME is a fresh folder unless a test sets other home variables; the previous
// ones are put back afterwards.
class ReferencePageTest : public GlueTest
{
protected:
    void SetUp() override
    {
        GlueTest::SetUp();
        for (const char* name : homeVariables)
            if (const char* value = std::getenv (name))
                saved[name] = value;
        setHome ({ { "HOME", folder.path() } });
    }

    void TearDown() override
    {
        setHome (saved);
        GlueTest::TearDown();
    }

    static void setHome (const std::map<std::string, std::string>& values)
    {
        for (const char* name : homeVariables)
            unsetenv (name);
        for (const auto& [name, value] : values)
            setenv (name.c_str(), value.c_str(), 1);
    }

    // The page of a new object of the class, which is registered here; the
    // console holds what writing it posted.
    std::string pageOfNewObject (t_class* c, const std::string& name)
    {
        class_register (CLASS_BOX, c);
        auto* object = static_cast<t_object*> (object_alloc (c));
        EXPECT_NE (object, nullptr);
        maxhost::clearRecordings();
        oskelmax_generatexml (object);
        object_free (object);
        return readFile (pagePath (folder.path(), name));
    }

    static constexpr const char* homeVariables[] = { "home", "HOME", "HOMESHARE", "HOMEDRIVE", "HOMEPATH" };
    std::map<std::string, std::string> saved;
    TemporaryFolder folder;
};

TEST_F (ReferencePageTest, PageIsWrittenByteForByteOverAnOlderOneOnTheMainThread)
{
    makeProbe();
    std::ofstream (pagePath (folder.path())) << "an older and much longer page than the one that will replace it\n" << expectedPage;
    maxhost::sendFromScheduler (x, "generatexml");
    maxhost::pumpMainThread();
    EXPECT_EQ (readFile (pagePath (folder.path())), expectedPage);
    EXPECT_EQ (posts(), Texts { "documentation generated in " + pagePath (folder.path()) });
    for (const auto& entry : maxhost::console())
        EXPECT_EQ (entry.role, maxhost::ThreadRole::main) << entry.text;
}

TEST_F (ReferencePageTest, HomeVariablesAreReadInTheirOrderThenTheUserDatabase)
{
    TemporaryFolder other;
    setHome ({ { "home", folder.path() }, { "HOME", other.path() } });
    maxhost::send (asObject (makeProbe()), "generatexml");
    EXPECT_TRUE (std::filesystem::exists (pagePath (folder.path())));
    EXPECT_FALSE (std::filesystem::exists (pagePath (other.path())));
    const auto* entry = getpwuid (getuid());
    ASSERT_NE (entry, nullptr);
    for (const auto& [variables, expected] : std::initializer_list<std::pair<std::map<std::string, std::string>, std::string>> {
             { { { "HOME", "/h" }, { "HOMESHARE", "/s" } }, "/h" },
             { { { "home", "" }, { "HOME", "/h" } }, "/h" },
             { { { "HOMESHARE", "/s" }, { "HOMEDRIVE", "/d" }, { "HOMEPATH", "/p" } }, "/s/p" },
             { { { "HOMEDRIVE", "/d" }, { "HOMEPATH", "/p" } }, "/d/p" },
             { { { "HOMEDRIVE", "/d" } }, "/d" },
             { {}, entry->pw_dir } })
    {
        setHome (variables);
        EXPECT_EQ (MaxXmlDocumentation::GetDocumentationFolder(), expected);
    }
}

TEST_F (ReferencePageTest, UnwritableFolderIsReportedAndNothingElseIsSaid)
{
    const auto missing = folder.path() + "/missing";
    setHome ({ { "HOME", missing } });
    makeProbe();
    testing::internal::CaptureStderr();
    pageOfNewObject (bareClass ("glue.bare"), "glue.bare");
    maxhost::send (x, "generatexml");
    EXPECT_EQ (testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ (errors(), (Texts { "could not create " + pagePath (missing, "glue.bare"), "could not create " + pagePath (missing) }));
    EXPECT_TRUE (posts().empty()) << "the readers of a class without documentation post nothing either";
    EXPECT_FALSE (std::filesystem::exists (missing));
}

TEST_F (ReferencePageTest, StylesheetAndSortModeAreTheCallers)
{
    const MaxXmlDocumentation page (asObject (makeProbe()), "other.xsl", 2, "c");
    const auto text = readFile (pagePath (folder.path()));
    EXPECT_NE (text.find ("<?xml-stylesheet href=\"other.xsl\" type=\"text/xsl\"?>"), std::string::npos);
    // Sort mode 2: attributes with an "order" first.
    EXPECT_LT (text.find ("<attribute name=\"gain\""), text.find ("<attribute name=\"count\""));
    EXPECT_LT (text.find ("<attribute name=\"steps\""), text.find ("<attribute name=\"colour\""));
}

// A class without "classdescription", then one whose records are of the wrong kind.
TEST_F (ReferencePageTest, MissingRecordsAndRecordsOfAnotherKindGiveEmptySections)
{
    auto* bare = bareClass ("");
    oskelmax_addstandardmethods (bare);
    auto text = pageOfNewObject (bare, "");
    for (const char* section : { "<c74object name=\"\">\n\t<digest>\n\t\t\n\t</digest>", "\t\t<metadata name=\"version\">\n\t\tunknown version\n",
                                 "\t<inletlist>\n\t</inletlist>\n", "\t<methodlist>\n\t</methodlist>\n",
                                 "\t<seealsolist>\n\t\t<seealso name=\"\" />\n\t</seealsolist>\n" })
        EXPECT_NE (text.find (section), std::string::npos) << section;
    const std::string missing = " no classdescription class attribute";
    EXPECT_EQ (posts(), (Texts { "MaxXmlDocumentation::GetObjectListOfInletsDescription" + missing,
                                 "MaxXmlDocumentation::GetObjectListOfOutletsDescription" + missing,
                                 "MaxXmlDocumentation::GetObjectListOfArguments" + missing,
                                 "MaxXmlDocumentation::getObjectMethodsDescription" + missing,
                                 "documentation generated in " + pagePath (folder.path(), "") }));

    auto* c = bareClass ("glue.mixedup");
    class_addattr (c, attr_offset_new ("classdescription", gensym ("symbol"), 0, nullptr, nullptr, offsetof (t_oskelmax_object, classdescription)));
    oskelmax::class_doc_array_add_description (c, "methods", 0, "an array under the name of the messages' record");
    object_addattr_format (class_attr_get (c, gensym ("classdescription")), "inlets", gensym ("object"), 0, "o", dictionary_new());
    text = pageOfNewObject (c, "glue.mixedup");
    EXPECT_NE (text.find ("\t<inletlist>\n\t</inletlist>\n"), std::string::npos);
    EXPECT_NE (text.find ("\t<methodlist>\n\t</methodlist>\n"), std::string::npos);
    EXPECT_EQ (errors(), (Texts { "MaxXmlDocumentation::GetObjectListOfInletsDescription : the inlets record is not an atom array",
                                  "MaxXmlDocumentation::getObjectMethodsDescription : the methods record is not a dictionary" }));
}
