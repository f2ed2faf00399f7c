// The 22 attributes of "zelm.meter~" as the class registers them, as the README and
// the reference page document them, and as their values travel through every path
// that saves, sends or restores the state. Everything is driven by one table, written
// from what each attribute is meant to be, not from the registration code.
#include "MeterTestSupport.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/AttributeState.h"

#include "ext_dictobj.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

using namespace metertest;

namespace
{
constexpr long deferredFlag = 0x4000000;
constexpr long userOpaqueFlags = 0x300;

/** A meta-attribute as it is added: its name, its text and whether it carries the
    deferred flag. Its type follows from its name (see metaType). */
struct Meta
{
    std::string name;
    std::string text;
    bool deferred = false;
};

struct Attribute
{
    const char* name;
    const char* type;
    long size;
    bool deferred;
    std::vector<Meta> metas;   // in the order they are added
    const char* testValue;     // differs from the default; message text
};

/** "maxvalue", "minvalue" and "default", added in that order after the clip filter, then the others. */
std::vector<Meta> numbers (const char* maximum, const char* minimum, const char* defaultValue, const std::vector<Meta>& others,
                           bool defaultDeferred = false)
{
    std::vector<Meta> metas { { "maxvalue", maximum }, { "minvalue", minimum }, { "default", defaultValue, defaultDeferred } };
    metas.insert (metas.end(), others.begin(), others.end());
    return metas;
}

const std::string numChannelsDescription =
    "The <m> numchannels </m> attribute represents the number of input and output channels of the object. This  attribute must be set in "
    "the object box, when the object is instanciated; it can not be further set with a message, since  the number of signal inlets or "
    "outlets can not be changed dynamically.";
const std::string windowTitleDescription =
    "The <m> windowtitle </m> attribute allows to set the title of the floating window for the user interface.";

Attribute colour (const char* name, const char* label, const char* defaultText, const char* testValue)
{
    return { name, "float64", 4, true, { { "style", "rgba", true }, { "label", label }, { "default", defaultText, true } }, testValue };
}

Attribute renderFlag (const char* name, const char* label)
{
    return { name, "long", 1, true, numbers ("1", "0", "0", { { "label", label, true }, { "style", "onoff", true } }, true), "1" };
}

const std::vector<Attribute> attributes {
    { "numchannels", "long", 1, false,
      numbers ("250", "1", "1", { { "dontreset", "1" }, { "label", "number of channels" }, { "description", numChannelsDescription } }),
      "3" },
    { "numleds", "long", 1, false, numbers ("80", "10", "40", { { "dontreset", "1" }, { "label", "number of leds" } }), "20" },
    { "mute", "long", 1, true, numbers ("1", "0", "0", { { "label", "global mute" }, { "style", "onoff" } }), "1" },
    { "gain", "float32", 1, true,
      numbers ("6", "-60", "0", { { "label", "global gain" }, { "units", "dB" }, { "description", "global gain" } }), "-12.5" },
    { "post", "long", 1, true,
      numbers ("1", "0", "1",
               { { "dontreset", "1" },
                 { "label", "vumeter pre or post gain" },
                 { "description", "decide whether the vumeters are calculated pre or post mixing gain" },
                 { "style", "onoff" } }),
      "0" },
    { "style", "symbol", 1, true, { { "default", "leds" }, { "label", "style" }, { "style", "enum" }, { "enumvals", "leds gradient" } }, "gradient" },
    { "windowmoveable", "long", 1, false,
      numbers ("1", "0", "1", { { "label", "window moveable" }, { "style", "onoff" }, { "category", "window options" } }), "0" },
    { "windowtopleft", "float32", 2, false,
      { { "default", "50 800" }, { "label", "window top left corner" }, { "units", "px" }, { "category", "window options" } }, "120 640" },
    { "windowtitle", "symbol", 1, false,
      { { "default", "meter" },
        { "dontreset", "1" },
        { "label", "window title" },
        { "category", "window options" },
        { "description", windowTitleDescription } },
      "levels" },
    { "mode", "symbol", 1, true, { { "default", "peak" }, { "style", "enum" }, { "enumvals", "peak rms" }, { "label", "mode" } }, "rms" },
    { "rate", "float32", 1, true,
      numbers ("3000", "5", "50", { { "label", "refresh rate" }, { "units", "msec" }, { "description", "refresh rate" } }), "125" },
    { "peakhold", "long", 1, true,
      numbers ("1", "0", "1", { { "label", "peak hold" }, { "description", "enable or disable the peak hold display" }, { "style", "onoff" } }),
      "0" },
    { "peakholdrate", "float32", 1, true,
      numbers ("3.6e+07", "100", "2000",
               { { "label", "peak hold refresh rate" }, { "description", "refresh rate for peak hold" }, { "units", "msec" } }),
      "500" },
    colour ("coldcolor", "cold color", "0.000 0.502 0.000 1.000", "0.25 0.5 0.75 1"),
    colour ("tepidcolor", "tepid color", "0.980 0.867 0.098 1.000", "0.5 0.5 0.25 1"),
    colour ("warmcolor", "warm color", "0.976 0.580 0.102 1.000", "0.75 0.5 0.25 0.5"),
    colour ("hotcolor", "hot color", "0.973 0.141 0.102 1.000", "1 0.25 0.125 1"),
    colour ("inactivecolor", "inactive color", "0.310 0.161 0.063 1.000", "0.125 0.125 0.25 0.75"),
    { "width", "long", 1, true,
      numbers ("40", "10", "26", { { "dontreset", "1" }, { "label", "width" }, { "units", "px" }, { "description", "width of each meter" } }),
      "30" },
    { "showrms", "long", 1, true,
      numbers ("1", "0", "1",
               { { "dontreset", "1" }, { "label", "show rms values" }, { "description", "show rms values" }, { "style", "onoff" } }),
      "0" },
    renderFlag ("showfps", "show fps (for debug)"),
    renderFlag ("useopengl", "use openGL rendering"),
};

/** The sizes that are fixed once the box is made. */
bool isFixedSize (const std::string& name)
{
    return name == "numchannels" || name == "numleds" || name == "width";
}

/** The state list: the attributes by name. */
std::vector<const Attribute*> byName()
{
    std::vector<const Attribute*> sorted;
    for (const auto& attribute : attributes)
        sorted.push_back (&attribute);
    std::sort (sorted.begin(), sorted.end(), [] (auto* a, auto* b) { return std::string (a->name) < b->name; });
    return sorted;
}

/** Texts that name things ("label", "units", "description") are one symbol each;
    the others are parsed, the numbers and the default with the attribute's own type. */
bool isWholeText (const std::string& meta)
{
    return meta == "label" || meta == "units" || meta == "description";
}

std::string metaType (const Attribute& attribute, const std::string& meta)
{
    if (meta == "dontreset")
        return "long";
    if (meta == "enumvals")
        return "atom";
    if (meta == "default" || meta == "minvalue" || meta == "maxvalue")
        return attribute.type;
    return "symbol";
}

/** Text parsed as the host parses it, then held with the given type: floats at
    32-bit precision for "float32", whole values for "long". */
std::vector<t_atom> typedAtoms (const std::string& type, const std::string& text)
{
    auto atoms = maxhost::parseAtoms (text);
    for (auto& atom : atoms)
    {
        if (type == "long" && atom.a_type == A_FLOAT)
            atom_setlong (&atom, static_cast<t_atom_long> (atom.a_w.w_float));
        else if ((type == "float32" || type == "float64") && atom.a_type != A_SYM)
            atom_setfloat (&atom, type == "float32" ? static_cast<float> (atom_getfloat (&atom)) : atom_getfloat (&atom));
    }
    return atoms;
}

std::vector<t_atom> metaAtoms (const Attribute& attribute, const Meta& meta)
{
    if (isWholeText (meta.name))
    {
        t_atom atom;
        atom_setsym (&atom, gensym (meta.text.c_str()));
        return { atom };
    }
    return typedAtoms (metaType (attribute, meta.name), meta.text);
}

std::string text (const std::vector<t_atom>& atoms)
{
    return maxhost::atomsToText (atoms);
}

const Meta& metaNamed (const Attribute& attribute, const std::string& name)
{
    static const Meta none;
    const auto found = std::find_if (attribute.metas.begin(), attribute.metas.end(), [&] (const Meta& m) { return m.name == name; });
    return found != attribute.metas.end() ? *found : none;
}

std::string defaultText (const Attribute& attribute)
{
    return text (metaAtoms (attribute, metaNamed (attribute, "default")));
}

std::string testText (const Attribute& attribute)
{
    return text (typedAtoms (attribute.type, attribute.testValue));
}

/** The value of an attribute (or of a meta-attribute, on an attribute object) as the host reads it. */
std::vector<t_atom> valueOf (void* owner, const std::string& name)
{
    long ac = 0;
    t_atom* av = nullptr;
    object_attr_getvalueof (owner, gensym (name.c_str()), &ac, &av);
    std::vector<t_atom> values (av, av + std::max (ac, 0L));
    sysmem_freeptr (av);
    return values;
}

std::vector<std::string> namesOf (void* owner)
{
    long count = 0;
    t_symbol** names = nullptr;
    object_attr_getnames (owner, &count, &names);
    std::vector<std::string> result;
    for (long i = 0; i < count; ++i)
        result.emplace_back (names[i]->s_name);
    sysmem_freeptr (names);
    return result;
}

std::string readFile (const std::string& path)
{
    return juce::File (path).loadFileAsString().toStdString();
}

/** The pieces of the text between the separators (an empty last piece left out). */
std::vector<std::string> split (const std::string& text, const std::string& separator)
{
    std::vector<std::string> pieces;
    for (size_t start = 0, end; start < text.size(); start = end + separator.size())
        pieces.push_back (text.substr (start, (end = std::min (text.find (separator, start), text.size())) - start));
    return pieces;
}

/** The Markdown tables under a heading of the README, up to the next heading:
    for each table its rows (the header and the rule left out), each row its cells. */
using Table = std::vector<std::vector<std::string>>;

std::vector<Table> readmeTables (const std::string& heading)
{
    std::vector<Table> tables;
    std::istringstream readme (readFile (README_PATH));
    bool inside = false;
    int linesOfTable = 0;
    for (std::string line; std::getline (readme, line);)
    {
        if (line.starts_with ("#"))
            inside = line == heading;
        if (! inside || ! line.starts_with ("|"))
        {
            linesOfTable = 0;
            continue;
        }
        if (linesOfTable++ == 0)
            tables.emplace_back();
        if (linesOfTable <= 2)
            continue;

        auto cells = split (line.substr (1), "|");
        for (auto& cell : cells)
        {
            const auto first = cell.find_first_not_of (' ');
            cell = first == std::string::npos ? "" : cell.substr (first, cell.find_last_not_of (' ') - first + 1);
        }
        tables.back().push_back (cells);
    }
    return tables;
}

/** The texts between backticks, in order. */
std::vector<std::string> backticked (const std::string& cell)
{
    std::vector<std::string> words;
    for (size_t open = cell.find ('`'), close; open != std::string::npos && (close = cell.find ('`', open + 1)) != std::string::npos;
         open = cell.find ('`', close + 1))
        words.push_back (cell.substr (open + 1, close - open - 1));
    return words;
}

class AttributeTest : public MeterTest
{
protected:
    /** Every attribute's value, as "name value" lines in table order. */
    static std::vector<std::string> values (t_meter* meter)
    {
        std::vector<std::string> lines;
        for (const auto& attribute : attributes)
            lines.push_back (std::string (attribute.name) + " " + text (valueOf (asObject (meter), attribute.name)));
        return lines;
    }

    /** What the setters passed on to the window's widgets and the mixer. */
    static std::string widgetState (t_meter* meter)
    {
        auto& channel = meter->gui->getChannel (0);
        auto& leds = channel.getMeter();
        std::ostringstream state;
        state << "mute " << meter->gui->getMasterMute() << meter->mixer->IsMuted (0) << " gain " << meter->gui->getGain() << " post "
              << meter->mixer->IsPostGainMetering() << " drawing " << leds.getDrawingMode() << " refresh " << leds.getRefreshInterval()
              << " hold " << leds.isPeakHoldEnabled() << " " << leds.getPeakHoldSamples() << " readout " << channel.isShowingReadout()
              << " fps " << meter->gui->isShowingFps() << " colours";
        for (const auto zone : { oskelgui::MeterComponent::Zone::inactive, oskelgui::MeterComponent::Zone::cold, oskelgui::MeterComponent::Zone::tepid,
                                 oskelgui::MeterComponent::Zone::warm, oskelgui::MeterComponent::Zone::hot })
            state << " " << leds.getZoneColour (zone).toString();
        return state.str();
    }

    /** The lines of `values` when the chosen attributes hold their test value and the others their default. */
    static std::vector<std::string> expectedValues (const std::function<bool (const Attribute&)>& holdsTestValue = [] (const Attribute&) { return true; })
    {
        std::vector<std::string> lines;
        for (const auto& attribute : attributes)
            lines.push_back (std::string (attribute.name) + " " + (holdsTestValue (attribute) ? testText (attribute) : defaultText (attribute)));
        return lines;
    }

    /** A box given the test values of the chosen attributes (all by default) in its own arguments. */
    t_meter* createWithTestValues (const std::function<bool (const std::string&)>& chosen = [] (const std::string&) { return true; })
    {
        std::string arguments;
        for (const auto& attribute : attributes)
            if (chosen (attribute.name))
                arguments += std::string (arguments.empty() ? "" : " ") + "@" + attribute.name + " " + attribute.testValue;
        return create (arguments);
    }
};
} // namespace

TEST_F (AttributeTest, EachAttributeHasItsTypeFlagsDefaultAndMetaAttributesInTheOrderAdded)
{
    auto* meter = create ("");
    ASSERT_NE (meter, nullptr);

    for (const auto& attribute : attributes)
    {
        SCOPED_TRACE (attribute.name);
        auto* attr = object_attr_get (asObject (meter), gensym (attribute.name));
        ASSERT_NE (attr, nullptr);
        EXPECT_EQ (std::string (oskelmax::GetAttributeType (attr)->s_name), attribute.type);
        EXPECT_EQ (oskelmax::GetAttributeFlags (attr), attribute.deferred ? deferredFlag : 0);
        EXPECT_EQ (valueOf (asObject (meter), attribute.name).size(), static_cast<size_t> (attribute.size));
        EXPECT_EQ (text (valueOf (asObject (meter), attribute.name)), defaultText (attribute)) << "a new box holds the default";

        std::vector<std::string> expectedNames;
        for (const auto& meta : attribute.metas)
            expectedNames.push_back (meta.name);
        EXPECT_EQ (namesOf (attr), expectedNames);

        for (const auto& meta : attribute.metas)
        {
            SCOPED_TRACE (meta.name);
            auto* metaAttr = object_attr_get (attr, gensym (meta.name.c_str()));
            ASSERT_NE (metaAttr, nullptr);
            EXPECT_EQ (std::string (oskelmax::GetAttributeType (metaAttr)->s_name), metaType (attribute, meta.name));
            EXPECT_EQ (oskelmax::GetAttributeFlags (metaAttr), meta.deferred ? deferredFlag : 0);
            const auto expected = metaAtoms (attribute, meta);
            const auto actual = valueOf (attr, meta.name);
            EXPECT_EQ (actual.size(), expected.size());
            EXPECT_EQ (text (actual), text (expected));
        }
    }

    // The documentation attributes: hidden from the user and from the state.
    const std::vector<std::pair<const char*, std::string>> documentation {
        { "classdigest", "Multichannel signal metering interface." },
        { "classdescription", "zelm.meter~ is a multichannel signal metering interface." },
        { "classseealso", "zelm.rms~, meter~, live.gain~" },
        { "externalversion", "4.9.2 (Build Aug 29 2016) (32 bits float)" },
    };
    for (const auto& [name, label] : documentation)
    {
        SCOPED_TRACE (name);
        auto* attr = object_attr_get (asObject (meter), gensym (name));
        ASSERT_NE (attr, nullptr);
        EXPECT_EQ (oskelmax::GetAttributeFlags (attr), userOpaqueFlags);
        EXPECT_EQ (text (valueOf (attr, "invisible")), "1");
        EXPECT_EQ (text (valueOf (attr, "label")), label);
        EXPECT_EQ (valueOf (attr, "label").size(), 1u);
        EXPECT_EQ (text (valueOf (attr, "category")), "documentation");
    }

    std::vector<std::string> registered;
    for (const auto& [name, label] : documentation)
        registered.emplace_back (name);
    for (const auto& attribute : attributes)
        registered.emplace_back (attribute.name);
    EXPECT_EQ (namesOf (asObject (meter)), registered) << "the documentation attributes first, then the table's order";

    std::vector<std::string> stateNames;
    for (const auto* attribute : byName())
        stateNames.emplace_back (attribute->name);
    const auto state = oskelmax::GetStateAttributeNames (asObject (meter));
    EXPECT_EQ (std::vector<std::string> (state.begin(), state.end()), stateNames);
}

TEST_F (AttributeTest, ValuesBeyondTheLimitsAreClippedBeforeTheSetter)
{
    auto* meter = create ("");
    for (const auto& attribute : attributes)
    {
        const auto& maximum = metaNamed (attribute, "maxvalue");
        if (maximum.name.empty() || isFixedSize (attribute.name))
            continue;   // the fixed sizes are clipped when the box is made

        const auto& minimum = metaNamed (attribute, "minvalue");
        const double low = std::stod (minimum.text), high = std::stod (maximum.text);
        for (const auto& [value, expected] : { std::pair { low - 1000.0, minimum }, std::pair { high + 1000.0, maximum } })
        {
            char message[96];
            std::snprintf (message, sizeof (message), "%s %.1f", attribute.name, value);
            send (meter, message);
            settle();
            EXPECT_EQ (text (valueOf (asObject (meter), attribute.name)), text (metaAtoms (attribute, expected))) << message;
        }
    }
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
}

TEST_F (AttributeTest, TheReferencePageDocumentsEveryStateAttributeAndNoMessage)
{
    // The page goes to the home folder: a fresh one for the time of the test.
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("meter-page", "");
    ASSERT_TRUE (folder.createDirectory());
    std::map<std::string, std::optional<std::string>> savedHome;
    for (const char* name : { "home", "HOME" })
    {
        const char* value = std::getenv (name);
        savedHome[name] = value != nullptr ? std::optional<std::string> (value) : std::nullopt;
        unsetenv (name);
    }
    setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
    send (create (""), "generatexml");
    for (const auto& [name, value] : savedHome)
        value ? setenv (name.c_str(), value->c_str(), 1) : unsetenv (name.c_str());

    const auto path = folder.getFullPathName().toStdString() + "/zelm.meter~.maxref.xml";
    const auto page = readFile (path);
    folder.deleteRecursively();

    EXPECT_EQ (consoleLines (maxhost::Severity::post), std::vector<std::string> { "documentation generated in " + path });

    std::string expected =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n\n"
        "<?xml-stylesheet href=\"./_c74_ref.xsl\" type=\"text/xsl\"?>\n\n"
        "<c74object name=\"zelm.meter~\">\n"
        "\t<digest>\n\t\tMultichannel signal metering interface.\n\t</digest>\n"
        "\t<description>\n\t\t<o>zelm.meter~</o> is a multichannel signal metering interface.\n\t</description>\n\n"
        "\t<!--METADATA-->\n\t<metadatalist>\n"
        "\t\t<metadata name=\"author\">\n\t\tZelm developers\n\t\t</metadata>\n"
        "\t\t<metadata name=\"copyright\">\n\t\tCopyright (c) Zelm developers. All rights reserved.\n\t\t</metadata>\n"
        "\t\t<metadata name=\"version\">\n\t\t4.9.2 (Build Aug 29 2016) (32 bits float)\n\t\t</metadata>\n"
        "\t</metadatalist>\n\n"
        "\t<!--INLETS-->\n\t<inletlist>\n"
        "\t\t<inlet id=\"0\" name=\"\">\n\t\t\t<digest>\n\t\t\t</digest>\n\t\t\t<description>\n\t\t\t\t\n\t\t\t</description>\n\t\t</inlet>\n"
        "\t</inletlist>\n\n"
        "\t<!--OUTLETS-->\n\t<outletlist>\n"
        "\t\t<outlet id=\"0\" name=\"messages\">\n\t\t\t<digest>\n\t\t\t</digest>\n\t\t\t<description>\n\t\t\t\tmessages\n\t\t\t</description>\n\t\t</outlet>\n"
        "\t\t<outlet id=\"1\" name=\"dump outlet\">\n\t\t\t<digest>\n\t\t\t</digest>\n\t\t\t<description>\n\t\t\t\tdump outlet\n\t\t\t</description>\n"
        "\t\t</outlet>\n"
        "\t</outletlist>\n\n"
        "\t<!--ARGUMENTS-->\n\t<objarglist>\n"
        "\t\t<objarg name=\"None\" type=\"\" optional=\"1\"> \n\t\t\t<digest>\n\t\t\t</digest>\n\t\t\t<description>\n\t\t\t\t\n\t\t\t</description>\n"
        "\t\t</objarg>\n"
        "\t</objarglist>\n\n"
        "\t<!--ATTRIBUTES-->\n\t<attributelist>\n";

    // The page's type names. A 32-bit float attribute is written "float", as its
    // 64-bit sibling is, rather than "unknown".
    const auto typeName = [] (const std::string& type) -> std::string
    {
        return type == "long" ? "int" : type == "float32" || type == "float64" ? "float" : type == "symbol" ? "symbol" : "unknown";
    };

    for (const auto* attribute : byName())
    {
        const auto label = metaNamed (*attribute, "label").text;
        const auto description = metaNamed (*attribute, "description").text;
        expected += "\t\t<attribute name=\"" + std::string (attribute->name) + "\" get=\"1\" set=\"1\" type=\"" + typeName (attribute->type)
                    + "\" size=\"1\">\n";
        expected += "\t\t\t<digest>\n\t\t\t\t" + label + "\n\t\t\t</digest>\n";
        expected += "\t\t\t<description>\n\t\t\t\t" + (description.empty() ? label : description) + "\n\t\t\t</description>\n";
        expected += "\t\t\t<attributelist>\n";

        auto metas = attribute->metas;
        std::sort (metas.begin(), metas.end(), [] (const Meta& a, const Meta& b) { return a.name < b.name; });
        for (const auto& meta : metas)
        {
            if (meta.name == "description")
                continue;

            // The first value only: symbols as text, floats with two decimals; all the choices of "enumvals".
            const auto atoms = metaAtoms (*attribute, meta);
            std::string value = atoms[0].a_type == A_SYM ? atoms[0].a_w.w_sym->s_name : text ({ atoms[0] });
            if (meta.name == "enumvals")
                value = text (atoms);
            else if (atoms[0].a_type == A_FLOAT)
            {
                char number[64];
                std::snprintf (number, sizeof (number), "%.2f", static_cast<float> (atoms[0].a_w.w_float));
                value = number;
            }
            expected += "\t\t\t\t<attribute name=\"" + meta.name + "\" get=\"1\" set=\"1\" type=\"" + typeName (metaType (*attribute, meta.name))
                        + "\" value=\"" + value + "\" />\n";
        }
        expected += "\t\t\t</attributelist>\n\t\t</attribute>\n\n";
    }

    expected +=
        "\t</attributelist>\n\n"
        "\t<!--MESSAGES-->\n\t<methodlist>\n\t</methodlist>\n\n"
        "\t<!--SEEALSO-->\n\t<seealsolist>\n"
        "\t\t<seealso name=\"zelm.rms~\" />\n\t\t<seealso name=\"meter~\" />\n\t\t<seealso name=\"live.gain~\" />\n"
        "\t</seealsolist>\n\n"
        "\t<!--MENU ITEMS-->\n\t<menuitemlist>\n\t</menuitemlist>\n\n"
        "\t<!--EXAMPLE-->\n\t<examplelist>\n\t</examplelist>\n\n"
        "\n</c74object>\n\n";

    const auto actualLines = split (page, "\n"), expectedLines = split (expected, "\n");
    for (size_t i = 0; i < std::min (actualLines.size(), expectedLines.size()); ++i)
        EXPECT_EQ (actualLines[i], expectedLines[i]) << "line " << i + 1;
    EXPECT_EQ (actualLines.size(), expectedLines.size());
    EXPECT_EQ (page.back(), '\n');
}

TEST_F (AttributeTest, TheReadmeListsEveryMessageAndAttributeAsTheClassRegistersThem)
{
    auto* meter = create ("");
    ASSERT_NE (meter, nullptr);

    // Two tables: the messages a patch sends, then those only the host sends.
    const auto messageTables = readmeTables ("### Messages");
    ASSERT_EQ (messageTables.size(), 2u);
    std::vector<std::string> documented, documentedForTheHost, registered, registeredForTheHost;
    for (const auto& table : messageTables)
        for (const auto& row : table)
            for (const auto& name : backticked (row[0]))
            {
                documented.push_back (name);
                if (&table == &messageTables[1])
                    documentedForTheHost.push_back (name);
            }
    for (const auto& [name, types] : maxhost::classMessages (meter_class))
    {
        registered.push_back (name);
        if (types == std::vector<short> { A_CANT })
            registeredForTheHost.push_back (name);
    }
    for (auto* names : { &documented, &documentedForTheHost, &registered, &registeredForTheHost })
        std::sort (names->begin(), names->end());
    EXPECT_EQ (documented, registered);
    EXPECT_EQ (documentedForTheHost, registeredForTheHost);

    // One row per state attribute: name, type (and how many values), default, range or choices, what it does.
    const auto attributeTables = readmeTables ("### Attributes");
    ASSERT_EQ (attributeTables.size(), 1u);
    std::vector<std::string> names;
    for (const auto& row : attributeTables[0])
    {
        ASSERT_EQ (row.size(), 5u);
        const auto name = backticked (row[0]).at (0), type = backticked (row[1]).at (0);
        names.push_back (name);
        SCOPED_TRACE (name);
        auto* attr = object_attr_get (asObject (meter), gensym (name.c_str()));
        ASSERT_NE (attr, nullptr);

        const std::string times = "× ";
        const auto count = row[1].find (times) == std::string::npos ? 1u : std::stoul (row[1].substr (row[1].find (times) + times.size()));
        EXPECT_EQ (type, oskelmax::GetAttributeType (attr)->s_name);
        EXPECT_EQ (count, valueOf (asObject (meter), name).size());
        EXPECT_EQ (text (typedAtoms (type, backticked (row[2]).at (0))), text (valueOf (attr, "default")));

        std::string choices;
        for (const auto& choice : backticked (row[3]))
            choices += (choices.empty() ? "" : " ") + choice;
        std::smatch limits;
        const bool numeric = std::regex_match (row[3], limits, std::regex (R"((\S+) \.\. (\S+))"));
        EXPECT_EQ (text (valueOf (attr, "enumvals")), choices);
        EXPECT_EQ (text (valueOf (attr, "minvalue")), numeric ? text (typedAtoms (type, limits[1])) : "");
        EXPECT_EQ (text (valueOf (attr, "maxvalue")), numeric ? text (typedAtoms (type, limits[2])) : "");
        EXPECT_EQ (row[4].find ("kept by `reset`") != std::string::npos, text (valueOf (attr, "dontreset")) == "1");
    }
    const auto state = oskelmax::GetStateAttributeNames (asObject (meter));
    std::sort (names.begin(), names.end());
    EXPECT_EQ (names, std::vector<std::string> (state.begin(), state.end()));
}

TEST_F (AttributeTest, DumpAndExportWriteEveryAttributeInNameOrder)
{
    auto* meter = createWithTestValues();
    ASSERT_NE (meter, nullptr);
    EXPECT_EQ (values (meter), expectedValues()) << "the box's own arguments";

    std::string dump = "list";
    std::vector<std::string> single;
    std::string json = "{\n";
    const auto sorted = byName();
    for (const auto* attribute : sorted)
    {
        dump += std::string (" ") + attribute->name + " " + testText (*attribute) + " ,";
        single.push_back (std::string (attribute->name) + " " + testText (*attribute));

        // One value plainly, several as an array; floats with six decimals, symbols quoted.
        std::string value;
        const auto atoms = typedAtoms (attribute->type, attribute->testValue);
        for (size_t i = 0; i < atoms.size(); ++i)
        {
            const auto& atom = atoms[i];
            value += atom.a_type == A_FLOAT  ? std::to_string (static_cast<float> (atom.a_w.w_float))
                     : atom.a_type == A_LONG ? std::to_string (atom.a_w.w_long)
                                             : "\"" + std::string (atom.a_w.w_sym->s_name) + "\"";
            if (atoms.size() > 1)
                value += i + 1 < atoms.size() ? ", " : atoms[i].a_type == A_SYM ? "" : " ";
        }
        if (atoms.size() > 1)
            value = "[ " + value + "]";
        json += "    \"" + std::string (attribute->name) + "\" : " + value + (attribute == sorted.back() ? "\n" : ", \n");
    }
    json += "}\n";

    maxhost::clearRecordings();
    send (meter, "dump");
    for (const auto* attribute : sorted)
        send (meter, std::string ("dump ") + attribute->name);
    auto lines = dumpLines (meter);
    ASSERT_EQ (lines.size(), 1 + sorted.size());
    EXPECT_EQ (lines[0], dump);
    EXPECT_EQ (std::vector<std::string> (lines.begin() + 1, lines.end()), single);

    const auto path = testsupport::outputPath ("meter-state.json");
    std::remove (path.c_str());
    send (meter, "exportdict " + path);
    EXPECT_EQ (readFile (path), json);
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
}

TEST_F (AttributeTest, TheWholeStateTravelsThroughEveryPathFromOneBoxToAnother)
{
    // Each path carries the state of `from` into `to`, as a patch or the host would.
    using Path = std::function<void (t_meter* from, t_meter* to)>;
    const std::vector<std::pair<const char*, Path>> paths {
        { "getvalueof and setvalueof",
          [] (t_meter* from, t_meter* to)
          {
              long ac = 0;
              t_atom* av = nullptr;
              object_method (asObject (from), gensym ("getvalueof"), &ac, &av);
              object_method (asObject (to), gensym ("setvalueof"), ac, av);
              sysmem_freeptr (av);
          } },
        { "preset and recallpreset",
          [this] (t_meter* from, t_meter* to)
          {
              auto* binbuf = binbuf_new();
              gensym ("_preset")->s_thing = reinterpret_cast<t_object*> (binbuf);
              send (from, "preset");
              gensym ("_preset")->s_thing = nullptr;
              long ac = 0;
              t_atom* av = nullptr;
              binbuf_getatoms (binbuf, &ac, &av);
              ASSERT_GE (ac, 3);
              EXPECT_EQ (av[0].a_w.w_obj, asObject (from));
              EXPECT_EQ (text ({ av[1], av[2] }), "zelm.meter~ recallpreset");
              // The record replayed as the host replays it, addressed to the other box.
              av[0].a_w.w_obj = asObject (to);
              binbuf_eval_messages (binbuf);
              object_free (binbuf);
          } },
        { "dump, sent back as messages",
          [this] (t_meter* from, t_meter* to)
          {
              maxhost::clearRecordings();
              send (from, "dump");
              const auto lines = dumpLines (from);
              ASSERT_EQ (lines.size(), 1u);
              for (const auto& message : split (lines[0].substr (std::string ("list ").size()), " ,"))
                  send (to, message);
          } },
        { "dumpdict into the message dictionary",
          [] (t_meter* from, t_meter* to)
          {
              // The sent dictionary lives only while the outlet call runs, as for a patch cord.
              int sent = 0;
              maxhost::setEventListener ([&] (const maxhost::ConsoleEntry*, const maxhost::OutletEvent* event)
              {
                  if (event != nullptr && event->object == asObject (from) && event->selector == "dictionary")
                  {
                      ++sent;
                      maxhost::send (asObject (to), "dictionary", event->atoms);
                  }
              });
              maxhost::send (asObject (from), "dumpdict");
              maxhost::setEventListener (nullptr);
              EXPECT_EQ (sent, 1);
          } },
        { "a dictionary registered by name",
          [] (t_meter*, t_meter* to)
          {
              auto* d = dictionary_new();
              for (const auto& attribute : attributes)
              {
                  auto atoms = typedAtoms (attribute.type, attribute.testValue);
                  dictionary_appendatoms (d, gensym (attribute.name), static_cast<long> (atoms.size()), atoms.data());
              }
              t_symbol* name = gensym ("meter.state");
              ASSERT_NE (dictobj_register (d, &name), nullptr);
              maxhost::send (asObject (to), "dictionary", maxhost::parseAtoms ("meter.state"));
              dictobj_release (d);
          } },
    };

    auto* from = createWithTestValues();
    ASSERT_NE (from, nullptr);
    for (const auto& [name, path] : paths)
    {
        SCOPED_TRACE (name);
        auto* to = createWithTestValues (isFixedSize);
        ASSERT_NE (to, nullptr);
        ASSERT_NE (widgetState (to), widgetState (from));
        maxhost::clearRecordings();
        const auto notified = notificationCount (to);
        path (from, to);
        settle();
        EXPECT_EQ (notificationCount (to) - notified, attributes.size()) << "each setter notifies once";
        EXPECT_EQ (values (to), expectedValues());
        EXPECT_EQ (widgetState (to), widgetState (from));
        EXPECT_EQ (values (from), expectedValues()) << "the source is left alone";
        EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
        EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
        object_free (asObject (to));
    }
}

TEST_F (AttributeTest, AShortListTakesTheDefaultForTheComponentsNotGivenInABoxAsByMessage)
{
    for (const auto& attribute : attributes)
    {
        const auto given = typedAtoms (attribute.type, attribute.testValue);
        const auto defaults = typedAtoms (attribute.type, metaNamed (attribute, "default").text);
        for (size_t count = 1; count < given.size(); ++count)
        {
            std::vector<t_atom> expected (given.begin(), given.begin() + static_cast<std::ptrdiff_t> (count));
            expected.insert (expected.end(), defaults.begin() + static_cast<std::ptrdiff_t> (count), defaults.end());
            const auto shortList = std::string (attribute.name) + " " + text ({ given.begin(), given.begin() + static_cast<std::ptrdiff_t> (count) });
            SCOPED_TRACE (shortList);

            auto* typed = create ("@" + shortList);
            auto* sent = create ("");
            auto* scheduled = create ("");
            ASSERT_TRUE (typed != nullptr && sent != nullptr && scheduled != nullptr);
            send (sent, shortList);
            sendFromScheduler (scheduled, shortList);
            settle();
            for (auto* meter : { typed, sent, scheduled })
                EXPECT_EQ (text (valueOf (asObject (meter), attribute.name)), text (expected));
            EXPECT_EQ (widgetState (typed), widgetState (sent));
            EXPECT_EQ (widgetState (typed), widgetState (scheduled));
            for (auto* meter : { typed, sent, scheduled })
                object_free (asObject (meter));
        }
    }
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
}

TEST_F (AttributeTest, ResetBringsBackTheDefaultsOfAllButTheDontResetAttributes)
{
    auto* meter = createWithTestValues();
    maxhost::clearRecordings();
    send (meter, "reset");
    settle();

    EXPECT_EQ (values (meter), expectedValues ([] (const Attribute& attribute) { return metaNamed (attribute, "dontreset").text == "1"; }));
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
    EXPECT_TRUE (consoleLines (maxhost::Severity::warn).empty());
}
