// What the meter makes of values and arguments that no patch should send: it
// stays within its attributes' limits, keeps its values and says why.
#include "MeterTestSupport.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/AttributeState.h"
#include "maxglue/Persistence.h"

#include "ext_dictobj.h"

#include <cmath>
#include <limits>

using namespace metertest;

namespace
{
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

/** Text as a message box parses it, where the words "NaN", "Inf" and "-Inf" stand for those floats. */
std::vector<t_atom> atomsOf (const std::string& text)
{
    auto atoms = maxhost::parseAtoms (text);
    for (auto& atom : atoms)
    {
        if (atom.a_type == A_SYM && atom.a_w.w_sym == gensym ("NaN"))
            atom_setfloat (&atom, notANumber);
        else if (atom.a_type == A_SYM && (atom.a_w.w_sym == gensym ("Inf") || atom.a_w.w_sym == gensym ("-Inf")))
            atom_setfloat (&atom, atom.a_w.w_sym->s_name[0] == '-' ? -infinity : infinity);
    }
    return atoms;
}

t_atom nullSymbol()
{
    t_atom atom {};
    atom.a_type = A_SYM;
    atom.a_w.w_sym = nullptr;
    return atom;
}

class BadInputTest : public MeterTest
{
protected:
    t_meter* createFrom (const std::string& arguments)
    {
        auto* meter = reinterpret_cast<t_meter*> (maxhost::newObject ("zelm.meter~", atomsOf (arguments)));
        settle();
        return meter;
    }

    void sendAtoms (t_meter* meter, const std::string& selector, const std::string& arguments)
    {
        maxhost::send (asObject (meter), selector, atomsOf (arguments));
        settle();
    }

    /** Recalls the meter's own preset with one attribute's first value replaced. */
    void recallPresetWith (t_meter* meter, const std::string& attribute, double value)
    {
        long ac = 0;
        t_atom* av = nullptr;
        oskelmax_getvalueof (asObject (meter), &ac, &av);
        std::vector<t_atom> state (av, av + ac);
        sysmem_freeptr (av);

        size_t position = 0;
        for (const auto& name : oskelmax::GetStateAttributeNames (asObject (meter)))
        {
            if (name == attribute)
                break;
            position += static_cast<size_t> (GetNumberOfAtomsNeededToStoreAttribute (asObject (meter), name));
        }
        ASSERT_LT (position, state.size()) << attribute;
        atom_setfloat (&state[position], value);
        maxhost::send (asObject (meter), "recallpreset", state);
        settle();
    }

    void applyDictionaryWith (t_meter* meter, const std::string& attribute, double value)
    {
        auto* d = dictionary_new();
        dictionary_appendfloat (d, gensym (attribute.c_str()), value);
        t_symbol* name = gensym ("badinput");
        ASSERT_NE (dictobj_register (d, &name), nullptr);
        t_atom atom;
        atom_setsym (&atom, name);
        maxhost::send (asObject (meter), "dictionary", { atom });
        settle();
        dictobj_release (d);
    }
};
} // namespace

TEST_F (BadInputTest, CreationGivesAMeterWithinTheLimitsWhateverTheSizesSay)
{
    const std::vector<std::tuple<std::string, long, long, long>> cases {
        { "@numchannels foo", 1, 40, 26 },
        { "@numchannels 2 3", 2, 40, 26 },
        { "@numleds 20 x @width wide", 1, 20, 10 },
    };

    for (const auto& [arguments, channels, leds, width] : cases)
    {
        maxhost::clearRecordings();
        auto* meter = createFrom (arguments);
        ASSERT_NE (meter, nullptr) << arguments;
        EXPECT_EQ ((std::vector<long> { (long) meter->numchannels, (long) meter->numleds, (long) meter->width }),
                   (std::vector<long> { channels, leds, width }))
            << arguments;
        EXPECT_EQ (maxhost::signalInletCount (asObject (meter)), channels) << arguments;
        EXPECT_EQ (meter->gui->getNumChannels(), (unsigned) channels) << arguments;
        EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty()) << arguments;
    }
}

TEST_F (BadInputTest, ASizeThatCannotBeSetYieldsNoObject)
{
    maxhost::failCall ("object_attr_setvalueof", "numleds", 1);
    EXPECT_EQ (createFrom ("@numchannels 2"), nullptr);
    auto errors = consoleLines (maxhost::Severity::error);
    EXPECT_NE (std::find (errors.begin(), errors.end(), "error parsing dictionary"), errors.end());
    maxhost::clearFaults();

    maxhost::clearRecordings();
    EXPECT_EQ (createFrom ("@numchannels NaN"), nullptr);
    EXPECT_EQ (consoleLines (maxhost::Severity::error),
               (std::vector<std::string> { "invalid value for attribute numchannels", "no valid numchannels in the creation dictionary" }));
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}

TEST_F (BadInputTest, RateStaysWithinItsLimitsAndNonFiniteValuesKeepItOnEveryPath)
{
    auto* meter = createFrom ("@numchannels 2 @rate NaN");
    ASSERT_NE (meter, nullptr);
    EXPECT_EQ (meter->rate, 50.0f) << "the creation dictionary";

    sendAtoms (meter, "rate", "foo");
    EXPECT_EQ (meter->rate, 5.0f) << "a symbol counts as 0, then is clipped";
    sendAtoms (meter, "rate", "40");

    const std::vector<std::pair<std::string, std::function<void()>>> paths {
        { "message", [&] { sendAtoms (meter, "rate", "NaN"); } },
        { "infinite message", [&] { sendAtoms (meter, "rate", "Inf"); } },
        { "dictionary", [&] { applyDictionaryWith (meter, "rate", notANumber); } },
        { "preset", [&] { recallPresetWith (meter, "rate", -infinity); } },
        { "host call", [&] { object_attr_setfloat (asObject (meter), gensym ("rate"), notANumber); } },
    };

    for (const auto& [path, apply] : paths)
    {
        maxhost::clearRecordings();
        apply();
        ASSERT_EQ (meter->rate, 40.0f) << path;
        EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "invalid value for attribute rate" }) << path;
    }

    // The clock goes on at the kept rate: time passes.
    maxhost::advance (200.0);
    EXPECT_GE (maxhost::now(), 200.0);
}

TEST_F (BadInputTest, EveryNumberAttributeRefusesNaNAndInfinitiesWhole)
{
    auto* meter = createFrom ("@numchannels 2");
    ASSERT_NE (meter, nullptr);
    const auto stateBefore = [&] {
        long ac = 0;
        t_atom* av = nullptr;
        oskelmax_getvalueof (asObject (meter), &ac, &av);
        const auto text = maxhost::atomsToText (std::vector<t_atom> (av, av + ac));
        sysmem_freeptr (av);
        return text;
    };
    const auto before = stateBefore();

    for (const char* message : { "gain NaN", "mute NaN", "post Inf", "peakhold NaN", "peakholdrate -Inf", "coldcolor 0.1 NaN 0.3 1",
                                 "windowtopleft 10 Inf", "windowmoveable NaN", "showrms NaN", "showfps Inf", "useopengl NaN",
                                 "numchannels NaN", "width Inf" })
    {
        maxhost::clearRecordings();
        const auto atoms = atomsOf (message);
        maxhost::send (asObject (meter), atom_getsym (atoms.data())->s_name, std::vector<t_atom> (atoms.begin() + 1, atoms.end()));
        settle();
        const auto name = std::string (message).substr (0, std::string (message).find (' '));
        EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "invalid value for attribute " + name }) << message;
    }

    EXPECT_EQ (stateBefore(), before);
    EXPECT_EQ (meter->gui->getGain(), 0.0f);
}

TEST_F (BadInputTest, FadeoutRefusesANonFiniteTime)
{
    auto* meter = createFrom ("@numchannels 1");
    for (const char* time : { "NaN", "Inf" })
    {
        maxhost::clearRecordings();
        sendAtoms (meter, "fadeout", time);
        EXPECT_EQ (consoleLines (maxhost::Severity::error).size(), 1u) << time;
        EXPECT_EQ (meter->fadeRequest.load(), meter_nofaderequest) << time;
    }
}

TEST_F (BadInputTest, TheRefreshClockNeverWaitsLessThanItsMinimum)
{
    const std::vector<std::pair<float, double>> delays {
        { 50.0f, 50.0 }, { 5.0f, 5.0 }, { 0.0f, 5.0 }, { -3.0f, 5.0 }, { 4000.0f, 3000.0 },
        { (float) notANumber, 5.0 }, { (float) -infinity, 5.0 }, { (float) infinity, 3000.0 },
    };
    for (const auto& [rate, delay] : delays)
        EXPECT_EQ (meter_refreshdelay (rate), delay) << rate;

    auto* meter = createFrom ("@numchannels 1");
    meter->rate = (float) notANumber;
    maxhost::advance (100.0);
    EXPECT_GE (maxhost::now(), 100.0);
}

TEST_F (BadInputTest, ChannelWithASymbolAtomWithoutItsSymbolIsAnInvalidMessage)
{
    // The standard messages ("reset", "postattributes", "exportdict"...) are checked with the glue.
    auto* meter = createFrom ("@numchannels 2");
    const auto one = atomsOf ("1")[0];
    maxhost::send (asObject (meter), "channel", { one, nullSymbol(), one });
    settle();
    EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "invalid message : channel 1  1 " });
    EXPECT_FALSE (meter->gui->getMute (0) || meter->gui->getSolo (0));
}

TEST_F (BadInputTest, AssistNeverNarrowsAnIndexOntoAnotherPort)
{
    auto* meter = createFrom ("@numchannels 2");
    const std::vector<std::tuple<long, long, std::string>> cases {
        { 1, 4294967296L, "" }, { 1, -4294967295L, "" }, { 2, 4294967297L, "dumpout" }, { 2, -4294967295L, "dumpout" }, { 1, 1, "input #2" },
    };
    for (const auto& [kind, index, text] : cases)
        EXPECT_EQ (maxhost::assist (asObject (meter), kind, index), text) << kind << " " << index;
}
