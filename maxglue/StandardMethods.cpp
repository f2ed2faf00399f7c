#include "maxglue/StandardMethods.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/ClassDocumentation.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/ObjectPorts.h"
#include "maxglue/Persistence.h"
#include "maxglue/SymbolTable.h"

#include "ext_dictobj.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <type_traits>

namespace
{
enum class OnFailure
{
    silent,
    post
};

// Registers a handler; `type` 0 means no arguments.
t_max_err addMethod (t_class* c, method handler, const char* name, short type, OnFailure onFailure)
{
    const auto result = type == 0 ? class_addmethod (c, handler, name, 0) : class_addmethod (c, handler, name, static_cast<int> (type), 0);

    if (result != MAX_ERR_NONE && onFailure == OnFailure::post)
        object_post (nullptr, "error when adding method %s", name);

    return result;
}

// No exception may leave a call from the host: what the libraries throw
// (in practice only an exhausted memory) is posted instead.
template <auto handler, typename... Args>
auto guarded (t_object* x, Args... args) noexcept
{
    using Result = decltype (handler (x, args...));

    try
    {
        return handler (x, args...);
    }
    catch (const std::exception& e)
    {
        object_error (x, "exception : %s", e.what());
    }
    catch (...)
    {
        object_error (x, "unknown exception");
    }

    if constexpr (! std::is_void_v<Result>)
        return Result {};
}

// A symbol atom without its symbol is a bad argument like any other.
bool isSymbol (const t_atom& atom)
{
    return atom.a_type == A_SYM && atom.a_w.w_sym != nullptr;
}

// Handlers --------------------------------------------------------------------

void versionHandler (t_object* x)
{
    auto* attribute = object_attr_get (x, gensym ("externalversion"));

    if (attribute == nullptr)
    {
        object_error (x, "Couldnt get external version");
        return;
    }

    long ac = 0;
    t_atom* av = nullptr;
    const auto error = object_attr_getvalueof (attribute, oskelmax::GetSymbol (oskelmax::symLabel), &ac, &av);

    if (error == MAX_ERR_NONE && ac >= 1 && av != nullptr && av[0].a_type == A_SYM && av[0].a_w.w_sym != nullptr)
        object_post (x, "Version %s", av[0].a_w.w_sym->s_name);
    else
        object_post (x, "unknown version");

    sysmem_freeptr (av);
}

void postdspstatusHandler (t_object* x)
{
    const auto* record = reinterpret_cast<const t_oskelmax_object*> (x);

    if (record->muted == 1 || record->header.z_disabled != 0)
        object_post (x, "dsp processing is muted");
    else if (record->bypassed == 1)
        object_post (x, "dsp processing is bypassed");
    else
        object_post (x, "dsp processing is enabled");

    object_post (x, sys_getdspstate() != 0 ? "dsp is on" : "dsp is off");
}

void postattributesHandler (t_object* x, t_symbol*, long argc, t_atom* argv)
{
    if (argc <= 0 || argv == nullptr)
    {
        const auto names = oskelmax::GetStateAttributeNames (x);
        object_post (x, "found %ld attributes", static_cast<long> (names.size()));

        for (const auto& name : names)
            PostValueOfAttribute (x, name);
    }
    else if (argc == 1 && isSymbol (argv[0]))
        PostValueOfAttribute (x, argv[0].a_w.w_sym->s_name);
    else
        oskelmax_postinvalidmessage (x, argc, argv, "invalid message : postattributes");
}

void resetHandler (t_object* x, t_symbol*, long argc, t_atom* argv)
{
    if (argc <= 0 || argv == nullptr)
        ResetAllAttributes (x);
    else if (argc == 1 && isSymbol (argv[0]))
        ResetAttributeToDefault (x, argv[0].a_w.w_sym->s_name, false, true);
    else
        oskelmax_postinvalidmessage (x, argc, argv, "invalid message : reset");
}

void dumpHandler (t_object* x, t_symbol*, long argc, t_atom* argv)
{
    auto* outlet = oskelmax_getdumpoutlet (x);

    if (outlet == nullptr)
        return;

    if (argc <= 0 || argv == nullptr)
        DumpStateAttributes (x, outlet);
    else if (isSymbol (argv[0]))
        DumpAttribute (x, argv[0].a_w.w_sym, outlet);
    else
        oskelmax_postinvalidmessage (x, argc, argv, "invalid message : dump");
}

// A file dialog and file writing belong on the main thread.
void exportdictHandler (t_object* x, t_symbol* s, long argc, t_atom* argv)
{
    if (systhread_ismainthread() == 0)
    {
        const auto count = static_cast<short> (std::min (argc, oskelmax::maxAtomsPerMessage));
        defer_low (x, oskelmax_method (guarded<exportdictHandler, t_symbol*, long, t_atom*>), s, count, argv);
        return;
    }

    auto* state = makeStateDictionary (x);

    if (state == nullptr)
    {
        object_error (x, "couldnt outlet dictionary");
        return;
    }

    const auto path = argc >= 1 && argv != nullptr && isSymbol (argv[0]) ? std::string (argv[0].a_w.w_sym->s_name) : chooseJsonFile();

    if (! path.empty())
        writeDictionaryAsJson (x, state, path);

    object_free (state);
}

void dumpdictHandler (t_object* x, t_symbol*, long argc, t_atom* argv)
{
    t_dictionary* d = nullptr;

    if (argc <= 0 || argv == nullptr)
        d = makeStateDictionary (x);
    else if ((d = dictionary_new()) != nullptr)
    {
        for (long i = 0; i < argc; ++i)
        {
            if (! isSymbol (argv[i]))
            {
                oskelmax_postinvalidmessage (x, argc, argv, "invalid message : dumpdict");
                dictionary_clear (d);
                object_free (d);
                return;
            }

            AppendAttributeToDictionary (x, d, argv[i].a_w.w_sym);
        }
    }

    // Without a dictionary this reports that none could be sent.
    outletDictionaryToDumpOutlet (x, d);

    // Receivers had the dictionary only while the outlet call ran; it is
    // released here so that dumping again and again leaks nothing.
    if (d != nullptr)
        dictobj_release (d);
}

void dictionaryHandler (t_object* x, t_symbol* name)
{
    const char* text = name != nullptr ? name->s_name : "";
    auto* d = dictobj_findregistered_retain (name);

    if (d == nullptr)
    {
        object_error (x, "unable to reference dictionary named %s", text);
        return;
    }

    const bool applied = readDictionaryIntoAttributes (x, d);
    dictobj_release (d);

    if (! applied)
        object_error (x, "error parsing dictionary named %s", text);
}

// Set once at load, read by "generatexml" on the main thread.
std::atomic<oskelmax_pagewriter> pageWriter { nullptr };

void writeReferencePage (t_object* x)
{
    if (auto* writer = pageWriter.load())
        writer (x);
    else
        object_error (x, "generatexml : no reference page writer is set");
}

void generatexmlDeferred (t_object* x, t_symbol*, long, t_atom*)
{
    writeReferencePage (x);
}

void generatexmlHandler (t_object* x)
{
    if (systhread_ismainthread() == 0)
        defer_low (x, oskelmax_method (guarded<generatexmlDeferred, t_symbol*, long, t_atom*>), nullptr, 0, nullptr);
    else
        writeReferencePage (x);
}

void presetHandler (t_object* x)
{
    oskelmax_preset (x);
}

const char* const attributeNameText = "name of the attribute";
const char* const openText = "opens the Graphical User Interface window. (or brings the window to front if it was already opened)";
} // namespace

void oskelmax_setgeneratexmlhook (oskelmax_pagewriter writer) noexcept
{
    pageWriter.store (writer);
}

void oskelmax_addgimmemethod (t_class* c, method handler, const char* name)
{
    addMethod (c, handler, name, A_GIMME, OnFailure::post);
}

void oskelmax_addnoargmethod (t_class* c, method handler, const char* name)
{
    addMethod (c, handler, name, 0, OnFailure::post);
}

void oskelmax_addstandardmethods (t_class* c)
{
    using namespace oskelmax;

    addMethod (c, oskelmax_method (guarded<generatexmlHandler>), "generatexml", 0, OnFailure::silent);
    class_doc_method (c, "generatexml", "this method is for service use only.");

    addMethod (c, oskelmax_method (guarded<versionHandler>), "version", 0, OnFailure::silent);
    class_doc_method (c, "version", "post version of the object to the Max window.");

    addMethod (c, oskelmax_method (guarded<postattributesHandler, t_symbol*, long, t_atom*>), "postattributes", A_GIMME, OnFailure::post);
    class_doc_method (c, "postattributes",
                      "post the value of an attribute to Max window. <br/> if no attribute name is specified this post the value of all attributes.");
    class_doc_method_arg (c, "postattributes", attributeNameText, "symbol");

    addMethod (c, oskelmax_method (guarded<oskelmax_getvalueof, long*, t_atom**>), "getvalueof", A_CANT, OnFailure::silent);
    addMethod (c, oskelmax_method (guarded<oskelmax_setvalueof, long, t_atom*>), "setvalueof", A_CANT, OnFailure::silent);
    addMethod (c, oskelmax_method (guarded<presetHandler>), "preset", 0, OnFailure::silent);

    addMethod (c, oskelmax_method (guarded<oskelmax_recallpreset, t_symbol*, long, t_atom*>), "recallpreset", A_GIMME, OnFailure::post);
    class_doc_method (c, "recallpreset",
                      "this method is provided for compatibility with the Max/MSP <m>preset</m> object. This method is called by the preset "
                      "object when recalling a preset. This should not be used in any other situation.");

    addMethod (c, oskelmax_method (guarded<exportdictHandler, t_symbol*, long, t_atom*>), "exportdict", A_GIMME, OnFailure::post);
    class_doc_method (c, "exportdict", "export current state as a JSON file.");

    addMethod (c, oskelmax_method (guarded<dumpdictHandler, t_symbol*, long, t_atom*>), "dumpdict", A_GIMME, OnFailure::post);
    class_doc_method (c, "dumpdict", "outputs current state as a dictionary (through the dump outlet).");

    addMethod (c, oskelmax_method (guarded<dictionaryHandler, t_symbol*>), "dictionary", A_SYM, OnFailure::silent);
    class_doc_method (c, "readdict", "receives and parses a dictionary (of attributes).");
}

void oskelmax_adddumpmethod (t_class* c)
{
    addMethod (c, oskelmax_method (guarded<dumpHandler, t_symbol*, long, t_atom*>), "dump", A_GIMME, OnFailure::post);
    oskelmax::class_doc_method (
        c, "dump", "dump value of an attribute. <br/> if no attribute-name is specified this will dump the value of all attributes.");
    oskelmax::class_doc_method_arg (c, "dump", attributeNameText, "symbol");
}

void oskelmax_addresetmethod (t_class* c)
{
    addMethod (c, oskelmax_method (guarded<resetHandler, t_symbol*, long, t_atom*>), "reset", A_GIMME, OnFailure::post);
    oskelmax::class_doc_method (
        c, "reset", "reset one attribute to its default value. <br/> if no attribute name is specified this will reset the value of all attributes.");
    oskelmax::class_doc_method_arg (c, "reset", attributeNameText, "symbol");
}

void oskelmax_addpostdspstatusmethod (t_class* c)
{
    addMethod (c, oskelmax_method (guarded<postdspstatusHandler>), "postdspstatus", 0, OnFailure::silent);
    oskelmax::class_doc_method (c, "postdspstatus", "post information about the dsp status in the Max window.");
}

void oskelmax_addassistmethod (t_class* c, method handler)
{
    addMethod (c, handler, "assist", A_CANT, OnFailure::silent);
}

void oskelmax_addwindowmethods (t_class* c, method openHandler, method closeHandler)
{
    addMethod (c, openHandler, "open", 0, OnFailure::silent);
    oskelmax::class_doc_method (c, "open", openText);

    addMethod (c, openHandler, "dblclick", A_CANT, OnFailure::silent);
    oskelmax::class_doc_method (c, "dblclick", openText);

    addMethod (c, closeHandler, "wclose", 0, OnFailure::silent);
    oskelmax::class_doc_method (c, "wclose", "closes the Graphical User Interface window.");
}

void oskelmax_adddsp64method (t_class* c, method handler)
{
    addMethod (c, handler, "dsp64", A_CANT, OnFailure::silent);
}

void oskelmax_setdictionaryconstructor (t_class* c)
{
    if (c != nullptr)
        c->c_flags |= CLASS_FLAG_NEWDICTIONARY;
}

void* oskelmax_objectalloc (t_class* c)
{
    return object_alloc (c);
}
