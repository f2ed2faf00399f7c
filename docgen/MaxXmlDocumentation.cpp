#include "docgen/MaxXmlDocumentation.h"

#include "docgen/AttributeElement.h"
#include "maxglue/AttributeState.h"
#include "maxglue/ClassDocumentation.h"
#include "maxglue/MaxAttribute.h"
#include "maxglue/SymbolTable.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

const char* const MaxXmlDocumentation::author = "Zelm developers";
const char* const MaxXmlDocumentation::copyrightNotice = "Copyright (c) Zelm developers. All rights reserved.";

namespace
{
const char* environmentValue (const char* name)
{
    const char* value = std::getenv (name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

std::string userDatabaseHome()
{
    const long suggested = sysconf (_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer (static_cast<size_t> (suggested > 0 ? suggested : 16384));
    passwd entry {};
    passwd* found = nullptr;

    if (getpwuid_r (getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr || found->pw_dir == nullptr)
        return {};

    return found->pw_dir;
}

t_object* classDescriptionRecord (t_object* object, const char* reader)
{
    auto* record = class_attr_get (object_class (object), gensym ("classdescription"));

    if (record == nullptr)
        object_post (nullptr, "MaxXmlDocumentation::%s no %s class attribute", reader, "classdescription");

    return record;
}

std::string symbolText (const t_atom& atom)
{
    auto* symbol = atom.a_type == A_SYM ? atom.a_w.w_sym : nullptr;
    return symbol != nullptr ? symbol->s_name : "";
}

void readDescriptions (t_object* object, const char* reader, const char* arrayName, kul::StringArray& descriptions)
{
    descriptions.clear();
    auto* record = classDescriptionRecord (object, reader);

    if (record == nullptr)
        return;

    auto* array = oskelmax::class_doc_atomarray (record, arrayName, (std::string ("MaxXmlDocumentation::") + reader).c_str());

    if (array == nullptr)
        return;

    const auto size = atomarray_getsize (array);

    for (long i = 0; i < size; ++i)
    {
        t_atom atom {};
        descriptions.push_back (atomarray_getindex (array, i, &atom) == MAX_ERR_NONE ? symbolText (atom) : std::string());
    }
}

// Every occurrence of the class name, wrapped once as an object reference.
std::string wrapClassName (std::string text, const std::string& className)
{
    if (className.empty())
        return text;

    const auto wrapped = "<o>" + className + "</o>";

    for (auto position = text.find (className); position != std::string::npos; position = text.find (className, position))
    {
        text.replace (position, className.size(), wrapped);
        position += wrapped.size();
    }

    return text;
}

std::string versionText (t_object* object)
{
    const MaxAttribute version (object, "externalversion");

    if (version.IsNull())
        return "unknown version";

    long ac = 0;
    t_atom* av = nullptr;
    std::string text = "unknown version";

    if (object_attr_getvalueof (version.attr, oskelmax::GetSymbol (oskelmax::symLabel), &ac, &av) == MAX_ERR_NONE && ac >= 1 && av != nullptr
        && av[0].a_type == A_SYM && av[0].a_w.w_sym != nullptr)
        text = av[0].a_w.w_sym->s_name;

    sysmem_freeptr (av);
    return text;
}

void writePorts (std::ostream& page, const char* comment, const char* list, const char* element, const kul::StringArray& descriptions)
{
    page << "\t<!--" << comment << "-->\n\t<" << list << ">\n";

    for (size_t i = 0; i < descriptions.size(); ++i)
    {
        page << "\t\t<" << element << " id=\"" << i << "\" name=\"" << descriptions[i] << "\">\n";
        page << "\t\t\t<digest>\n\t\t\t</digest>\n";
        page << "\t\t\t<description>\n\t\t\t\t" << descriptions[i] << "\n\t\t\t</description>\n";
        page << "\t\t</" << element << ">\n";
    }

    page << "\t</" << list << ">\n\n";
}
} // namespace

MaxXmlDocumentation::MaxXmlDocumentation (t_object* objectToDocument, const std::string& stylesheet, int sortMode,
                                          const std::string& copyrightText)
    : object (objectToDocument), attributeSortMode (sortMode), xslPath (stylesheet), copyright (copyrightText)
{
    oskelmax_initsymboltable();
    WritePage();
}

std::string MaxXmlDocumentation::GetDocumentationFolder()
{
    for (const char* name : { "home", "HOME" })
        if (const char* value = environmentValue (name))
            return value;

    const char* drive = environmentValue ("HOMESHARE");

    if (drive == nullptr)
        drive = environmentValue ("HOMEDRIVE");

    if (drive != nullptr)
    {
        std::string folder = drive;

        if (const char* path = environmentValue ("HOMEPATH"))
            folder += path;

        return folder;
    }

    return userDatabaseHome();
}

void MaxXmlDocumentation::GetObjectListOfInletsDescription (kul::StringArray& descriptions) const
{
    readDescriptions (object, "GetObjectListOfInletsDescription", "inlets", descriptions);
}

void MaxXmlDocumentation::GetObjectListOfOutletsDescription (kul::StringArray& descriptions) const
{
    readDescriptions (object, "GetObjectListOfOutletsDescription", "outlets", descriptions);
}

void MaxXmlDocumentation::GetObjectListOfArguments (kul::StringArray& names, kul::StringArray& types, kul::StringArray& descriptions) const
{
    names.clear();
    types.clear();
    descriptions.clear();

    kul::StringArray texts;
    readDescriptions (object, "GetObjectListOfArguments", "arguments", texts);

    for (size_t i = 0; i + 2 < texts.size(); i += 3)
    {
        names.push_back (texts[i]);
        types.push_back (texts[i + 1]);
        descriptions.push_back (texts[i + 2]);
    }
}

void MaxXmlDocumentation::getObjectMethodsDescription (std::vector<MethodDescription>& methods) const
{
    methods.clear();
    auto* record = classDescriptionRecord (object, "getObjectMethodsDescription");

    if (record == nullptr)
        return;

    auto* dictionary = oskelmax::class_doc_dictionary (record, "methods", "MaxXmlDocumentation::getObjectMethodsDescription");

    if (dictionary == nullptr)
        return;

    long count = 0;
    t_symbol** keys = nullptr;

    if (dictionary_getkeys_ordered (dictionary, &count, &keys) != MAX_ERR_NONE)
        return;

    for (long i = 0; i < count && keys != nullptr; ++i)
    {
        MethodDescription method;
        t_object* entry = nullptr;

        if (dictionary_getobject (dictionary, keys[i], &entry) == MAX_ERR_NONE && entry != nullptr)
        {
            t_atom entryAtom {};
            atom_setobj (&entryAtom, entry);

            if (atomisatomarray (&entryAtom) != 0)
            {
                auto* array = reinterpret_cast<t_atomarray*> (entry);
                const auto size = atomarray_getsize (array);
                const auto textAt = [array] (long index) {
                    t_atom atom {};
                    return atomarray_getindex (array, index, &atom) == MAX_ERR_NONE ? symbolText (atom) : std::string();
                };

                method.name = keys[i]->s_name;
                method.description = size > 0 ? textAt (0) : std::string();

                for (long k = 2; k + 1 < size; k += 2)
                {
                    method.argumentNames.push_back (textAt (k));
                    method.argumentTypes.push_back (textAt (k + 1));
                }
            }
        }

        methods.push_back (std::move (method));
    }

    dictionary_freekeys (dictionary, count, keys);
}

void MaxXmlDocumentation::GetObjectListOfSeeAlso (kul::StringArray& names) const
{
    names.clear();

    auto text = MaxAttribute (object, "classseealso").GetLabel ({});
    std::erase (text, ' ');

    std::string::size_type start = 0;

    for (auto comma = text.find (','); comma != std::string::npos; comma = text.find (',', start))
    {
        names.push_back (text.substr (start, comma - start));
        start = comma + 1;
    }

    names.push_back (text.substr (start));
}

void MaxXmlDocumentation::WriteContents (std::ostream& page, const std::string& className) const
{
    page << "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n\n";
    page << "<?xml-stylesheet href=\"" << xslPath << "\" type=\"text/xsl\"?>\n\n";
    page << "<c74object name=\"" << className << "\">\n";

    page << "\t<digest>\n\t\t" << MaxAttribute (object, "classdigest").GetLabel ({}) << "\n\t</digest>\n";
    page << "\t<description>\n\t\t" << wrapClassName (MaxAttribute (object, "classdescription").GetLabel ({}), className)
         << "\n\t</description>\n\n";

    page << "\t<!--METADATA-->\n\t<metadatalist>\n";
    const std::pair<const char*, std::string> metadata[] = { { "author", author }, { "copyright", copyright }, { "version", versionText (object) } };
    for (const auto& [name, value] : metadata)
        page << "\t\t<metadata name=\"" << name << "\">\n\t\t" << value << "\n\t\t</metadata>\n";
    page << "\t</metadatalist>\n\n";

    kul::StringArray descriptions;
    GetObjectListOfInletsDescription (descriptions);
    writePorts (page, "INLETS", "inletlist", "inlet", descriptions);
    GetObjectListOfOutletsDescription (descriptions);
    writePorts (page, "OUTLETS", "outletlist", "outlet", descriptions);

    kul::StringArray names, types;
    GetObjectListOfArguments (names, types, descriptions);
    page << "\t<!--ARGUMENTS-->\n\t<objarglist>\n";
    for (size_t i = 0; i < names.size(); ++i)
    {
        page << "\t\t<objarg name=\"" << names[i] << "\" type=\"" << types[i] << "\" optional=\"1\"> \n";
        page << "\t\t\t<digest>\n\t\t\t</digest>\n";
        page << "\t\t\t<description>\n\t\t\t\t" << descriptions[i] << "\n\t\t\t</description>\n";
        page << "\t\t</objarg>\n";
    }
    page << "\t</objarglist>\n\n";

    page << "\t<!--ATTRIBUTES-->\n\t<attributelist>\n";
    kul::StringArray attributes;
    GetAttributeNames (object, attributes, attributeSortMode);
    FilterStateAttributes (object, attributes);
    for (const auto& name : attributes)
    {
        WriteAttributeXml (MaxAttribute (object, name), page);
        page << "\n";
    }
    page << "\t</attributelist>\n\n";

    std::vector<MethodDescription> methods;
    getObjectMethodsDescription (methods);
    page << "\t<!--MESSAGES-->\n\t<methodlist>\n";
    for (const auto& method : methods)
    {
        page << "\t\t<method name=\"" << method.name << "\">\n\t\t\t<arglist>\n";
        for (size_t i = 0; i < method.argumentNames.size(); ++i)
            page << "\t\t\t\t<arg name=\"" << method.argumentNames[i] << "\" type=\"" << method.argumentTypes[i]
                 << "\" optional=\"0\" id=\"0\" />\n";
        page << "\t\t\t</arglist>\n";
        page << "\t\t\t<digest>\n\t\t\t</digest>\n";
        page << "\t\t\t<description>\n\t\t\t\t" << method.description << "\n\t\t\t</description>\n";
        page << "\t\t</method>\n";
    }
    page << "\t</methodlist>\n\n";

    GetObjectListOfSeeAlso (names);
    page << "\t<!--SEEALSO-->\n\t<seealsolist>\n";
    for (const auto& name : names)
        page << "\t\t<seealso name=\"" << name << "\" />\n";
    page << "\t</seealsolist>\n\n";

    page << "\t<!--MENU ITEMS-->\n\t<menuitemlist>\n\t</menuitemlist>\n\n";
    page << "\t<!--EXAMPLE-->\n\t<examplelist>\n\t</examplelist>\n\n";
    page << "\n</c74object>\n\n";
}

void MaxXmlDocumentation::WritePage() const
{
    auto* classSymbol = object_classname (object);
    const std::string className = classSymbol != nullptr ? classSymbol->s_name : "";
    const auto folder = GetDocumentationFolder();
    const auto path = folder + "/" + className + ".maxref.xml";

    if (folder.empty())
    {
        object_error (object, "could not create %s", path.c_str());
        return;
    }

    // The file is opened before anything is read: a page that cannot be
    // written makes no posts and no output of the readers.
    std::unique_ptr<std::FILE, int (*) (std::FILE*)> file (std::fopen (path.c_str(), "w"), &std::fclose);

    if (file == nullptr)
    {
        object_error (object, "could not create %s", path.c_str());
        return;
    }

    std::ostringstream page;
    page.imbue (std::locale::classic());
    WriteContents (page, className);
    const auto text = page.str();

    const bool written = std::fwrite (text.data(), 1, text.size(), file.get()) == text.size();
    const bool closed = std::fclose (file.release()) == 0;

    if (! written || ! closed)
    {
        object_error (object, "could not create %s", path.c_str());
        return;
    }

    object_post (object, "documentation generated in %s", path.c_str());
}

void oskelmax_generatexml (t_object* x)
{
    const MaxXmlDocumentation page (x, "./_c74_ref.xsl", oskelmax::sortByName, MaxXmlDocumentation::copyrightNotice);
}
