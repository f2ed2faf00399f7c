#pragma once

#include "ext_obex.h"

#include "text/StringArray.h"

#include <ostream>
#include <string>
#include <vector>

/** Writes an object's reference page, the host's XML format, into the user's
    home folder as the class name followed by ".maxref.xml". Made for one page:
    the constructor writes it. */
class MaxXmlDocumentation
{
public:
    struct MethodDescription
    {
        std::string name;
        std::string description;
        kul::StringArray argumentNames;
        kul::StringArray argumentTypes;
    };

    MaxXmlDocumentation (t_object* objectToDocument, const std::string& stylesheet, int sortMode, const std::string& copyrightText);

    void GetObjectListOfInletsDescription (kul::StringArray& descriptions) const;
    void GetObjectListOfOutletsDescription (kul::StringArray& descriptions) const;
    void GetObjectListOfArguments (kul::StringArray& names, kul::StringArray& types, kul::StringArray& descriptions) const;
    void getObjectMethodsDescription (std::vector<MethodDescription>& methods) const;
    void GetObjectListOfSeeAlso (kul::StringArray& names) const;

    /** The folder of the pages: the first set of "home" and "HOME", else
        "HOMESHARE" or "HOMEDRIVE" followed by "HOMEPATH", else the user
        database's home folder; empty when there is none. */
    static std::string GetDocumentationFolder();

    /** The fixed texts of the page's metadata. */
    static const char* const author;
    static const char* const copyrightNotice;

private:
    void WritePage() const;
    void WriteContents (std::ostream& page, const std::string& className) const;

    t_object* object;
    int attributeSortMode;
    std::string xslPath;
    std::string copyright;
};

/** The "generatexml" writer that plug-ins hand to the glue: writes the object's
    reference page with the family's stylesheet and copyright text. */
void oskelmax_generatexml (t_object* x);
