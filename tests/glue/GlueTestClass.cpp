#include "GlueTestClass.h"

#include "docgen/MaxXmlDocumentation.h"
#include "maxglue/AtomText.h"
#include "maxglue/ClassDocumentation.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/SymbolTable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <type_traits>

namespace gluetest
{
namespace
{
    t_class* theClass = nullptr;
    t_class* lastBareClass = nullptr;

    // Gives no atoms, in the caller's memory or in none.
    t_max_err emptyGetter (Probe*, t_object*, long* ac, t_atom** av)
    {
        if (! (*ac > 0 && *av != nullptr))
            *av = nullptr;
        *ac = 0;
        return MAX_ERR_NONE;
    }

    void probeOpen (Probe* x) { ++x->opens; }
    void probeClose (Probe* x) { ++x->closes; }
    void probeAssist (Probe*, void*, long, long, char* text) { text[0] = '\0'; }

    void* probeNew (t_symbol*, long argc, t_atom* argv)
    {
        auto* x = static_cast<Probe*> (oskelmax_objectalloc (theClass));
        if (x == nullptr)
            return nullptr;
        x->ob.box = gensym ("#B")->s_thing;
        oskelmax_createdumpoutlet (&x->ob.header.z_ob);
        oskelmax_dspsetup (&x->ob.header.z_ob, 1, 1, true);
        oskelmax_processdictionaryarg (&x->ob.header.z_ob, argc, argv, true);
        return x;
    }

    void probeFree (Probe* x) { oskelmax_dspfree (&x->ob.header.z_ob); }

    void addDocumentationAttribute (t_class* c, const char* name, long offset, const char* label)
    {
        class_addattr (c, attr_offset_new (name, gensym ("symbol"), ATTR_GET_OPAQUE_USER | ATTR_SET_OPAQUE_USER, nullptr, nullptr, offset));
        class_attr_addattr_parse (c, name, "invisible", gensym ("long"), 0, "1");
        class_attr_addattr_format (c, name, "label", gensym ("symbol"), 0, "s", gensym (label));
        class_attr_addattr_parse (c, name, "category", gensym ("symbol"), 0, "documentation");
    }
} // namespace

t_class* probeClass() { return theClass; }

t_class* bareClass (const char* name)
{
    const auto bareNew = [] (t_symbol*, long, t_atom*) -> void* { return object_alloc (lastBareClass); };
    lastBareClass = class_new (name, oskelmax_method (+bareNew), nullptr, sizeof (t_oskelmax_object), nullptr, A_GIMME, 0);
    return lastBareClass;
}

t_class* registerProbeClass()
{
    oskelmax_initsymboltable();

    auto* c = class_new (className, oskelmax_method (probeNew), oskelmax_method (probeFree), sizeof (Probe), nullptr, A_GIMME, 0);
    oskelmax_setdictionaryconstructor (c);

    // The documentation attributes come first here, so that the standard
    // messages' records are kept.
    addDocumentationAttribute (c, "classdigest", offsetof (t_oskelmax_object, classdigest), "A probe of the glue.");
    addDocumentationAttribute (c, "classdescription", offsetof (t_oskelmax_object, classdescription),
                               "glue.probe~ tests the glue; glue.probe~ has <m>attributes</m>.");
    addDocumentationAttribute (c, "classseealso", offsetof (t_oskelmax_object, classseealso), "zelm.rms~, meter~, live.gain~");
    addDocumentationAttribute (c, "externalversion", offsetof (t_oskelmax_object, externalversion), "1.2.3");

    oskelmax_addwindowmethods (c, oskelmax_method (probeOpen), oskelmax_method (probeClose));
    oskelmax_setgeneratexmlhook (oskelmax_generatexml);
    oskelmax_addstandardmethods (c);
    oskelmax_adddumpmethod (c);
    oskelmax_addresetmethod (c);
    oskelmax_addpostdspstatusmethod (c);
    oskelmax_addassistmethod (c, oskelmax_method (probeAssist));
    oskelmax::class_doc_arg (c, "None", "", "");
    oskelmax::class_doc_inlet (c, 0, "signal in");
    oskelmax::class_doc_outlet (c, 1, "dump outlet");
    oskelmax::class_doc_outlet (c, 0, "signal out");
    CLASS_ATTR_LONG (c, "count", 0, Probe, count);
    CLASS_ATTR_DEFAULT (c, "count", 0, "3");
    CLASS_ATTR_ATTR_PARSE (c, "count", "dontreset", gensym ("long"), 0, "1");
    CLASS_ATTR_ATTR_PARSE (c, "count", "order", gensym ("long"), 0, "3");
    CLASS_ATTR_LABEL (c, "count", 0, "number of things");
    CLASS_ATTR_FLOAT (c, "gain", 0, Probe, gain);
    CLASS_ATTR_DEFAULT (c, "gain", 0, "0");
    CLASS_ATTR_LABEL (c, "gain", 0, "gain (dB)");
    CLASS_ATTR_ATTR_PARSE (c, "gain", "order", gensym ("long"), 0, "1");
    CLASS_ATTR_ATTR_PARSE (c, "gain", "step", gensym ("float32"), ATTR_SET_OPAQUE_USER, "0.5");
    CLASS_ATTR_DOUBLE_ARRAY (c, "colour", 0, Probe, colour, 4);
    CLASS_ATTR_DEFAULT (c, "colour", 0, "0. 0.5 0. 1.");
    CLASS_ATTR_SYM (c, "mode", 0, Probe, mode);
    CLASS_ATTR_DEFAULT (c, "mode", 0, "peak");
    CLASS_ATTR_ENUM (c, "mode", 0, "peak rms");
    CLASS_ATTR_ATTR_FORMAT (c, "mode", "description", gensym ("symbol"), 0, "s", gensym ("how levels are measured"));
    // Attributes that the patcher owns for the box: readable and not empty, yet never state.
    const char* boxNames[] = { "annotation", "background", "hidden", "hint", "ignoreclick", "parameter_enable",
                               "patching_position", "patching_rect", "patching_size", "presentation",
                               "presentation_position", "presentation_rect", "presentation_size", "varname" };
    static_assert (std::size (boxNames) == std::extent_v<decltype (Probe::box)>);
    for (size_t i = 0; i < std::size (boxNames); ++i)
        class_addattr (c, attr_offset_new (boxNames[i], gensym ("long"), 0, nullptr, nullptr,
                                           static_cast<long> (offsetof (Probe, box) + i * sizeof (t_atom_long))));
    CLASS_ATTR_LONG (c, "ghost", 0, Probe, ghost);
    CLASS_ATTR_INVISIBLE (c, "ghost", 0);
    CLASS_ATTR_LONG (c, "secret", ATTR_GET_OPAQUE_USER, Probe, secret);
    CLASS_ATTR_LONG (c, "steps", 0, Probe, steps);
    CLASS_ATTR_ATTR_PARSE (c, "steps", "order", gensym ("long"), 0, "7");
    class_addattr (c, attribute_new ("empty", gensym ("atom"), 0, oskelmax_method (emptyGetter), nullptr));
    CLASS_ATTR_SYM (c, "title", 0, Probe, title);
    CLASS_ATTR_DEFAULT (c, "title", 0, "untitled");
    class_dspinit (c);
    class_register (CLASS_BOX, c);
    theClass = c;
    return c;
}

void GlueTest::SetUp()
{
    maxhost::initialise();
    registerProbeClass();
    maxhost::clearRecordings();
}

void GlueTest::TearDown()
{
    maxhost::clearFaults();
    maxhost::shutdown();
}

Probe* GlueTest::makeProbe (const std::string& args)
{
    probe = reinterpret_cast<Probe*> (maxhost::newObject (className, args));
    x = probe != nullptr ? asObject (probe) : nullptr;
    maxhost::clearRecordings();
    return probe;
}

Texts GlueTest::texts (maxhost::Severity severity) const
{
    Texts result;
    for (const auto& entry : maxhost::console())
        if (entry.severity == severity)
            result.push_back (entry.text);
    return result;
}

std::vector<maxhost::OutletEvent> GlueTest::dumpEvents() const
{
    // The dump outlet is made first, so it ends up rightmost.
    std::vector<maxhost::OutletEvent> result;
    const int dumpIndex = maxhost::outletCount (x);
    for (const auto& event : maxhost::outletEvents())
        if (event.object == x && event.outlet == dumpIndex)
            result.push_back (event);
    return result;
}

Texts GlueTest::dumped() const
{
    Texts result;
    for (const auto& event : dumpEvents())
        result.push_back (event.selector + " " + text (event.atoms));
    return result;
}

// clang-format off
t_atom atomLong (t_atom_long v) { t_atom a; atom_setlong (&a, v); return a; }
t_atom atomFloat (double v) { t_atom a; atom_setfloat (&a, v); return a; }
t_atom atomSym (const char* s) { t_atom a; atom_setsym (&a, gensym (s)); return a; }
// clang-format on

std::vector<t_atom> getValueOf (t_object* x)
{
    long ac = 0;
    t_atom* av = nullptr;
    EXPECT_EQ (object_method (x, gensym ("getvalueof"), &ac, &av), nullptr) << "always MAX_ERR_NONE";
    std::vector<t_atom> result (av, av + ac);
    sysmem_freeptr (av);
    return result;
}

std::string text (const std::vector<t_atom>& atoms)
{
    std::string result;
    atomsToText (static_cast<long> (atoms.size()), atoms.data(), result);
    return result;
}

std::string readFile (const std::string& path)
{
    std::ifstream stream (path, std::ios::binary);
    return std::string (std::istreambuf_iterator<char> (stream), {});
}

kul::StringArray names (std::initializer_list<const char*> list)
{
    kul::StringArray result;
    result.assign (list.begin(), list.end());
    return result;
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "gluetest-XXXXXX").string();
    if (mkdtemp (pattern.data()) != nullptr)
        folder = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all (folder, ignored);
}
} // namespace gluetest
