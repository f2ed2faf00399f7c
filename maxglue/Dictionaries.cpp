#include "maxglue/Dictionaries.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/MaxAttribute.h"
#include "maxglue/ObjectPorts.h"

#include "corefoundation/CFString.h"

#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool oskelmax_setattributefromdictionary (t_object* x, t_dictionary* d, t_symbol* name)
{
    const char* text = name != nullptr ? name->s_name : "";

    if (dictionary_hasentry (d, name) != 1)
    {
        object_error (x, "dictionary doesnt have entry for %s", text);
        return false;
    }

    t_atom atom {};

    if (dictionary_getatom (d, name, &atom) != MAX_ERR_NONE)
    {
        object_error (x, "error getting atom value from dict for entry %s", text);
        return false;
    }

    // Only the entry's first atom is used, also when the entry holds several
    // (the box said "@name 2 3"): they come as one atom array.
    if (atomisatomarray (&atom) != 0
        && atomarray_getindex (static_cast<t_atomarray*> (atom_getobj (&atom)), 0, &atom) != MAX_ERR_NONE)
    {
        object_error (x, "error getting atom value from dict for entry %s", text);
        return false;
    }
    const auto error = object_attr_setvalueof (x, name, 1, &atom);

    // An attribute that could not be set is as good as missing: the caller
    // must not build on its old value.
    if (error != MAX_ERR_NONE)
    {
        object_error (x, "%s in object_attr_setvalueof %s", oskelmax::GetMaxErrorName (error), text);
        return false;
    }

    return true;
}

bool oskelmax_processdictionaryentries (t_object* x, long argc, t_atom* argv, int count, ...)
{
    auto* d = object_dictionaryarg (argc, argv);

    if (d == nullptr)
    {
        object_bug (x, "couldnt process dictionnary");
        return false;
    }

    bool allApplied = true;
    va_list names;
    va_start (names, count);

    for (int i = 0; i < count; ++i)
    {
        const char* name = va_arg (names, const char*);

        if (! oskelmax_setattributefromdictionary (x, d, gensym (name != nullptr ? name : "")))
            allApplied = false;
    }

    va_end (names);

    if (! allApplied)
    {
        object_error (x, "error parsing dictionary");
        return false;
    }

    return true;
}

bool oskelmax_processdictionaryarg (t_object* x, long argc, t_atom* argv, bool check)
{
    auto* d = object_dictionaryarg (argc, argv);

    if (d == nullptr)
    {
        object_bug (x, "couldnt process dictionnary");
        return false;
    }

    if (check)
        attr_dictionary_check (x, d);

    attr_dictionary_process (x, d);
    return true;
}

void AppendAttributeToDictionary (t_object* x, t_dictionary* d, t_symbol* name)
{
    if (d == nullptr || name == nullptr)
        return;

    if (MaxAttribute (x, name->s_name).IsNull())
    {
        object_error (x, "no attribute %s", name->s_name);
        return;
    }

    long ac = 0;
    t_atom* av = nullptr;
    const auto error = object_attr_getvalueof (x, name, &ac, &av);

    if (error != MAX_ERR_NONE)
    {
        object_bug (x, "AppendAttributeToDictionary : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (error), name->s_name);
        sysmem_freeptr (av);
        return;
    }

    if (ac >= 2 && av != nullptr)
        dictionary_appendatoms (d, name, ac, av);
    else if (ac == 1 && av != nullptr)
    {
        switch (av[0].a_type)
        {
            case A_SYM: dictionary_appendsym (d, name, av[0].a_w.w_sym); break;
            case A_FLOAT: dictionary_appendfloat (d, name, static_cast<double> (static_cast<float> (av[0].a_w.w_float))); break;
            case A_LONG: dictionary_appendlong (d, name, av[0].a_w.w_long); break;
            default: object_warn (x, "unknown atom type in AppendAttributeToDictionary"); break;
        }
    }

    sysmem_freeptr (av);
}

t_dictionary* makeStateDictionary (t_object* x)
{
    auto* d = dictionary_new();

    if (d == nullptr)
        return nullptr;

    for (const auto& name : oskelmax::GetStateAttributeNames (x))
        AppendAttributeToDictionary (x, d, gensym (name.c_str()));

    return d;
}

bool outletDictionary (void* outlet, t_dictionary* d)
{
    if (outlet == nullptr || d == nullptr)
        return false;

    auto* name = symbol_unique();

    if (dictobj_register (d, &name) == nullptr)
        return false;

    t_atom atom {};
    atom_setsym (&atom, name);
    outlet_anything (outlet, oskelmax::GetDictionarySymbol(), 1, &atom);

    // Receivers copy what they need during the call; afterwards the name must
    // not lead anyone to a dictionary its owner is about to release.
    dictionary_clear (d);
    dictobj_unregister (d);
    return true;
}

void outletDictionaryToDumpOutlet (t_object* x, t_dictionary* d)
{
    auto* outlet = oskelmax_getdumpoutlet (x);

    if (outlet == nullptr)
    {
        object_error (x, "no dump outlet");
        return;
    }

    if (! outletDictionary (outlet, d))
        object_error (x, "couldnt outlet dictionary");
}

bool readDictionaryIntoAttributes (t_object* x, t_dictionary* d)
{
    if (d == nullptr)
        return false;

    long count = 0;
    t_symbol** keys = nullptr;
    const auto error = dictionary_getkeys (d, &count, &keys);

    if (error != MAX_ERR_NONE || count < 0)
    {
        object_error (x, "couldnt get dict key : %s", oskelmax::GetMaxErrorName (error));
        if (error == MAX_ERR_NONE)
            dictionary_freekeys (d, count, keys);
        return false;
    }

    // The keys are copied first: a setter may change the dictionary.
    const std::vector<t_symbol*> names (keys, keys + (keys != nullptr ? count : 0));
    dictionary_freekeys (d, count, keys);

    for (auto* key : names)
    {
        t_atom atom {};

        if (dictionary_getatom (d, key, &atom) != MAX_ERR_NONE)
        {
            object_error (x, "entry %s is not atom ? ", key->s_name);
            continue;
        }

        if (atomisatomarray (&atom) != 0)
        {
            long ac = 0;
            t_atom* av = nullptr;

            if (atomarray_copyatoms (reinterpret_cast<t_atomarray*> (atom_getobj (&atom)), &ac, &av) == MAX_ERR_NONE)
                object_attr_setvalueof (x, key, ac, av);

            sysmem_freeptr (av);
        }
        else
            object_attr_setvalueof (x, key, 1, &atom);
    }

    return true;
}

namespace
{
// The length of the valid UTF-8 sequence at the start of the bytes, or, when
// none starts there, of its longest valid beginning (at least 1): the run that
// one U+FFFD replaces.
size_t utf8SequenceLength (const unsigned char* bytes, bool& valid)
{
    const auto lead = bytes[0];
    valid = lead < 0x80;

    if (valid)
        return 1;

    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf; // the second byte's range

    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
    {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;  // no overlong forms
        high = lead == 0xed ? 0x9f : 0xbf; // no surrogates
    }
    else if (lead >= 0xf0 && lead <= 0xf4)
    {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf; // nothing beyond U+10FFFF
    }
    else
        return 1;

    // The terminating zero fails every check, so nothing is read past it.
    for (size_t i = 1; i < length; ++i)
    {
        if (bytes[i] < (i == 1 ? low : 0x80) || bytes[i] > (i == 1 ? high : 0xbf))
            return i;
    }

    valid = true;
    return length;
}

// A text as a JSON string: quotes, backslashes and control characters are
// escaped, and bytes that are no UTF-8 become U+FFFD, so that every exported
// file parses; valid characters are kept as they are.
void appendJsonString (std::string& text, const char* value)
{
    text += '"';

    for (const char* c = value != nullptr ? value : ""; *c != '\0';)
    {
        const auto byte = static_cast<unsigned char> (*c);

        if (byte == '"' || byte == '\\')
        {
            text += '\\';
            text += *c++;
        }
        else if (byte < 0x20)
        {
            char escaped[8];
            std::snprintf (escaped, sizeof (escaped), "\\u%04x", byte);
            text += escaped;
            ++c;
        }
        else
        {
            bool valid = false;
            const auto length = utf8SequenceLength (reinterpret_cast<const unsigned char*> (c), valid);
            text.append (valid ? c : "\xef\xbf\xbd", valid ? length : 3);
            c += length;
        }
    }

    text += '"';
}

// One atom; what JSON cannot hold (an object, a value that is not finite)
// is null, alone as in an array.
void appendJsonAtom (std::string& text, const t_atom& atom)
{
    switch (atom.a_type)
    {
        case A_LONG: text += std::to_string (atom.a_w.w_long); return;
        case A_FLOAT:
        {
            const auto value = static_cast<float> (atom.a_w.w_float);

            if (std::isfinite (value))
            {
                text += oskelmax::FormatFixed (static_cast<double> (value), 6);
                return;
            }

            break;
        }
        case A_SYM: appendJsonString (text, atom.a_w.w_sym != nullptr ? atom.a_w.w_sym->s_name : ""); return;
        default: break;
    }

    text += "null";
}

std::string jsonValueText (long count, const t_atom* atoms)
{
    std::string text;

    if (count <= 0 || atoms == nullptr)
        return "null";

    if (count == 1)
    {
        appendJsonAtom (text, atoms[0]);
        return text;
    }

    // Every item but the last is followed by ", "; a last item other than a
    // symbol by a blank.
    text = "[ ";

    for (long i = 0; i < count; ++i)
    {
        appendJsonAtom (text, atoms[i]);

        if (i != count - 1)
            text += ", ";
        else if (atoms[i].a_type != A_SYM)
            text += " ";
    }

    text += "]";
    return text;
}

// Only a regular file is written. The path is opened without blocking and
// without truncating, so that a named pipe nobody reads, or a device, is
// refused at once like any other path that cannot be written, and left as it was.
bool writeWholeFile (const std::string& path, const std::string& contents)
{
    const int descriptor = open (path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);

    if (descriptor < 0)
        return false;

    struct stat status {};

    if (fstat (descriptor, &status) != 0 || ! S_ISREG (status.st_mode) || ftruncate (descriptor, 0) != 0)
    {
        close (descriptor);
        return false;
    }

    auto* file = fdopen (descriptor, "w");

    if (file == nullptr)
    {
        close (descriptor);
        return false;
    }

    const bool written = std::fwrite (contents.data(), 1, contents.size(), file) == contents.size();
    const bool closed = std::fclose (file) == 0;
    return written && closed;
}
} // namespace

bool writeDictionaryAsJson (t_object* x, t_dictionary* d, const std::string& path)
{
    if (d == nullptr)
        return false;

    // The keys are read before the file is opened, so that a dictionary that
    // cannot be read leaves an existing file as it was.
    long count = 0;
    t_symbol** keys = nullptr;
    const auto error = dictionary_getkeys_ordered (d, &count, &keys);

    if (error != MAX_ERR_NONE || count < 0)
    {
        object_error (x, "couldnt get dict key : %s", oskelmax::GetMaxErrorName (error));
        if (error == MAX_ERR_NONE)
            dictionary_freekeys (d, count, keys);
        return false;
    }

    std::string text = "{\n";

    for (long i = 0; i < count && keys != nullptr; ++i)
    {
        auto* key = keys[i];
        text += "    ";
        appendJsonString (text, key->s_name);
        text += " : ";

        std::string value;
        t_atom atom {};

        if (dictionary_getatom (d, key, &atom) != MAX_ERR_NONE)
            object_error (x, "entry %s is not atom ? ", key->s_name);
        else if (atomisatomarray (&atom) != 0)
        {
            long ac = 0;
            t_atom* av = nullptr;

            if (atomarray_copyatoms (reinterpret_cast<t_atomarray*> (atom_getobj (&atom)), &ac, &av) == MAX_ERR_NONE)
                value = jsonValueText (ac, av);

            sysmem_freeptr (av);
        }
        else
            value = jsonValueText (1, &atom);

        // An entry without a readable value still gives a well-formed line.
        text += value.empty() ? "null" : value;

        if (i != count - 1)
            text += ", ";

        text += "\n";
    }

    dictionary_freekeys (d, count, keys);
    text += "}\n";

    return writeWholeFile (path, text);
}

std::string chooseJsonFile()
{
    constexpr t_fourcc jsonType = (static_cast<t_fourcc> ('J') << 24) | (static_cast<t_fourcc> ('S') << 16)
                                | (static_cast<t_fourcc> ('O') << 8) | static_cast<t_fourcc> ('N');

    char name[MAX_FILENAME_CHARS] = "file.json";
    short path = 0;
    t_fourcc type = jsonType;
    t_fourcc types[1] = { jsonType };

    if (saveasdialog_extended (name, &path, &type, types, 1) != 0)
        return {};

    char fullPath[MAX_PATH_CHARS] = {};

    if (path_topotentialname (path, name, fullPath, 0) != 0)
        return {};

    return maxPathToPosix (fullPath);
}

std::string maxPathToPosix (const std::string& path)
{
    std::string posix = path;

    if (posix.empty() || posix.front() != '/')
    {
        const auto colon = posix.find (':');
        const auto volume = posix.substr (0, colon);
        const auto rest = colon == std::string::npos ? std::string() : posix.substr (colon + 1);
        posix = "/Volumes/" + volume + rest;
    }

    // The host's paths are UTF-8 already, and reading them as Mac OS Roman
    // would garble every name with a non-ASCII letter: valid UTF-8 is kept as
    // it is, and only other text is read as Mac OS Roman, the host's older
    // 8-bit encoding.
    if (auto* utf8 = CFStringCreateWithCString (kCFAllocatorDefault, posix.c_str(), kCFStringEncodingUTF8))
    {
        CFRelease (utf8);
        return posix;
    }

    auto* roman = CFStringCreateWithCString (kCFAllocatorDefault, posix.c_str(), kCFStringEncodingMacRoman);

    if (roman == nullptr)
        return {};

    std::vector<char> buffer (static_cast<size_t> (CFStringGetMaximumSizeForEncoding (CFStringGetLength (roman), kCFStringEncodingUTF8) + 1));
    const bool converted = CFStringGetCString (roman, buffer.data(), static_cast<CFIndex> (buffer.size()), kCFStringEncodingUTF8) != 0;
    CFRelease (roman);

    return converted ? std::string (buffer.data()) : std::string();
}
