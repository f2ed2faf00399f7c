// What the meter makes of values and messages that no patch should send: it
// stays within its attributes' limits, keeps its values and says why.
#include "MeterTestSupport.h"

#include "gui/MultiMeterComponent.h"
#include "maxglue/AttributeState.h"
#include "maxglue/Persistence.h"

#include "ext_dictobj.h"

#include <cmath>

using namespace metertest;

namespace
{
class BadInputTest : public MeterTest
{
protected:
    void SetUp() override
    {
        MeterTest::SetUp();
        meter = create ("@numchannels 4");
        ASSERT_NE (meter, nullptr);
    }

    /** The whole state, as getvalueof gives it. */
    std::vector<t_atom> state()
    {
        long ac = 0;
        t_atom* av = nullptr;
        oskelmax_getvalueof (asObject (meter), &ac, &av);
        std::vector<t_atom> atoms (av, av + ac);
        sysmem_freeptr (av);
        return atoms;
    }

    /** The meter's own preset record, with one attribute's first value replaced. */
    std::vector<t_atom> presetWith (const std::string& attribute, double value)
    {
        t_atom atom;
        atom_setfloat (&atom, value);
        return presetWith (attribute, atom);
    }

    std::vector<t_atom> presetWith (const std::string& attribute, const t_atom& value)
    {
        auto atoms = state();
        size_t position = 0;
        for (const auto& name : oskelmax::GetStateAttributeNames (asObject (meter)))
        {
            if (name == attribute)
                break;
            position += static_cast<size_t> (GetNumberOfAtomsNeededToStoreAttribute (asObject (meter), name));
        }
        EXPECT_LT (position, atoms.size()) << attribute;
        if (position < atoms.size())
            atoms[position] = value;
        return atoms;
    }

    std::vector<t_atom> valueOf (const std::string& attribute)
    {
        long ac = 0;
        t_atom* av = nullptr;
        object_attr_getvalueof (asObject (meter), gensym (attribute.c_str()), &ac, &av);
        std::vector<t_atom> atoms (av, av + std::max (ac, 0L));
        sysmem_freeptr (av);
        return atoms;
    }

    void applyDictionaryWith (const std::string& attribute, double value)
    {
        t_atom atom;
        atom_setfloat (&atom, value);
        applyDictionaryWith (attribute, atom);
    }

    /** The value through the message dictionary, with "mute 1" beside it. */
    void applyDictionaryWith (const std::string& attribute, t_atom value)
    {
        auto* d = dictionary_new();
        dictionary_appendlong (d, gensym ("mute"), 1);
        dictionary_appendatom (d, gensym (attribute.c_str()), &value);
        t_symbol* name = gensym ("badinput");
        ASSERT_NE (dictobj_register (d, &name), nullptr);
        maxhost::send (asObject (meter), "dictionary", atomsOf ("badinput"));
        dictobj_release (d);
    }

    t_meter* meter = nullptr;
};
} // namespace

TEST_F (BadInputTest, RateStaysWithinItsLimitsAndNonFiniteValuesKeepItOnEveryPath)
{
    EXPECT_EQ (create ("@numchannels 2 @rate NaN")->rate, 50.0f) << "the creation dictionary";

    send (meter, "rate foo");
    EXPECT_EQ (meter->rate, 50.0f) << "a word is no number: it does not count as 0";
    send (meter, "rate 40");

    const std::vector<std::pair<std::string, std::function<void()>>> paths {
        { "message", [&] { send (meter, "rate NaN"); } },
        { "infinite message", [&] { send (meter, "rate Inf"); } },
        { "dictionary", [&] { applyDictionaryWith ("rate", NAN); } },
        { "preset", [&] { maxhost::send (asObject (meter), "recallpreset", presetWith ("rate", -INFINITY)); } },
        { "host call", [&] { object_attr_setfloat (asObject (meter), gensym ("rate"), NAN); } },
    };
    for (const auto& [path, apply] : paths)
    {
        maxhost::clearRecordings();
        apply();
        settle();
        ASSERT_EQ (meter->rate, 40.0f) << path;
        EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "invalid value for attribute rate" }) << path;
    }
    maxhost::advance (200.0);
    EXPECT_GE (maxhost::now(), 200.0) << "the clock goes on at the kept rate";
}

TEST_F (BadInputTest, ValuesOfTheWrongKindAreRefusedAndBeyondTheFloatRangeClippedOrRefusedAlikeOnEveryPath)
{
    // Each path, and whether it carries the whole state in one list, which a value of
    // the wrong kind refuses whole.
    using Apply = std::function<void (const std::string&, const t_atom&)>;
    const std::vector<std::tuple<std::string, Apply, bool>> paths {
        { "message", [&] (const std::string& name, const t_atom& v) { maxhost::send (asObject (meter), name, { v }); }, false },
        { "message from the scheduler",
          [&] (const std::string& name, const t_atom& v) { maxhost::sendFromScheduler (asObject (meter), name, { v }); }, false },
        { "dictionary", [&] (const std::string& name, const t_atom& v) { applyDictionaryWith (name, v); }, false },
        { "preset",
          [&] (const std::string& name, const t_atom& v) { maxhost::send (asObject (meter), "recallpreset", presetWith (name, v)); }, true },
        { "pattr from the scheduler",
          [&] (const std::string& name, const t_atom& v)
          {
              auto atoms = presetWith (name, v);
              maxhost::runOnScheduler ([&] { object_method (asObject (meter), gensym ("setvalueof"), static_cast<long> (atoms.size()), atoms.data()); });
          },
          true },
        { "host call",
          [&] (const std::string& name, const t_atom& v)
          { object_attr_setvalueof (asObject (meter), gensym (name.c_str()), 1, const_cast<t_atom*> (&v)); },
          false },
    };
    // The attribute, a value it may hold, the value sent, and what it then holds:
    // its limit where it has one, else the value it held (the change refused).
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases {
        { "gain", "gain -12", "1e300", "6." },
        { "gain", "gain -12", "-1e308", "-60." },
        { "rate", "rate 40", "1e308", "3000." },
        { "mute", "mute 0", "1e300", "1" },
        { "peakholdrate", "peakholdrate 500", "1e39", "36000000." },
        { "coldcolor", "coldcolor 0.25 0.5 0.75 1", "1e300", "" },
        { "windowtopleft", "windowtopleft 120 640", "-1e39", "" },
        // A word where a number belongs, a number where a word belongs: at -60 dB a
        // word taken as 0 would open the outlets to unity gain.
        { "gain", "gain -60", "foo", "" },
        { "peakholdrate", "peakholdrate 500", "bar", "" },
        { "peakhold", "peakhold 0", "on", "" },
        { "coldcolor", "coldcolor 0.25 0.5 0.75 1", "foo", "" },
        { "mode", "mode rms", "3", "" },
        { "windowtitle", "windowtitle levels", "5", "" },
        { "windowtopleft", "windowtopleft 120 640", "left", "" },
    };
    for (const auto& [path, apply, wholeList] : paths)
    {
        for (const auto& [name, start, value, expected] : cases)
        {
            SCOPED_TRACE (path + ": " + name + " " + value);
            const auto atom = atomsOf (value).at (0);
            const bool wrongKind = atom.a_type != A_FLOAT;
            send (meter, start);
            send (meter, "mute 0");
            settle();
            const auto held = maxhost::atomsToText (valueOf (name));
            maxhost::clearRecordings();
            apply (name, atom);
            settle();
            EXPECT_EQ (maxhost::atomsToText (valueOf (name)), expected.empty() ? held : expected);
            const auto refusal = "invalid value for attribute " + name;
            const auto error = wrongKind && wholeList ? "setvalueof error (" + refusal + ")" : refusal;
            EXPECT_EQ (consoleLines (maxhost::Severity::error), expected.empty() ? std::vector<std::string> { error } : std::vector<std::string> {});
            if (path == "dictionary" && name != "mute")
            {
                EXPECT_EQ (meter->mute, 1) << "the dictionary's other entries are set";
            }
        }
    }
    EXPECT_EQ (meter->gui->getGain(), -60.0f);
}

TEST_F (BadInputTest, ValuesRefusedAtCreationLeaveTheDefaults)
{
    const auto* plain = create ("@numchannels 2");
    const auto* refused = create ("@numchannels 2 @coldcolor 0 NaN 0 1 @gain Inf @windowtopleft -Inf 3 @peakholdrate NaN @hotcolor 0 1e300 0 1");
    const auto* words = create ("@numchannels 2 @rate foo @mute on @tepidcolor 1 red 0 1 @mode 3 @windowtopleft left 3 @windowtitle 5 @gain foo");
    ASSERT_TRUE (plain != nullptr && refused != nullptr && words != nullptr);
    EXPECT_EQ (std::vector<double> (std::begin (words->tepidcolor), std::end (words->tepidcolor)),
               std::vector<double> (std::begin (plain->tepidcolor), std::end (plain->tepidcolor)));
    EXPECT_EQ ((std::vector<std::string> { words->mode->s_name, words->windowtitle->s_name }), (std::vector<std::string> { "peak", "meter" }));
    EXPECT_EQ ((std::vector<double> { words->rate, static_cast<double> (words->mute), words->gain, words->windowtopleft[0] }),
               (std::vector<double> { 50.0, 0.0, 0.0, 50.0 }));

    EXPECT_EQ (std::vector<double> (std::begin (refused->coldcolor), std::end (refused->coldcolor)),
               std::vector<double> (std::begin (plain->coldcolor), std::end (plain->coldcolor)));
    EXPECT_NE (refused->coldcolor[3], 0.0) << "the default is opaque";
    EXPECT_EQ (std::vector<double> (std::begin (refused->hotcolor), std::end (refused->hotcolor)),
               std::vector<double> (std::begin (plain->hotcolor), std::end (plain->hotcolor)));
    EXPECT_EQ (refused->gain, plain->gain);
    EXPECT_EQ (std::vector<float> (std::begin (refused->windowtopleft), std::end (refused->windowtopleft)), (std::vector<float> { 50.0f, 800.0f }));
    EXPECT_EQ (refused->peakholdrate, 2000.0f);
}

TEST_F (BadInputTest, RefusedMessagesAndValuesPostWhyAndLeaveTheStateWhole)
{
    const auto before = maxhost::atomsToText (state());
    const std::vector<std::tuple<std::string, std::string, bool>> cases {
        { "channel 0 mute 1", "invalid channel index 0", false },
        { "channel 5 solo 1", "invalid channel index 5", false },
        { "channel 4294967297 mute 1", "invalid channel index 4294967297", false },
        { "channel -4294967295 solo 1", "invalid channel index -4294967295", false },
        { "channel 1 mute", "invalid message : channel 1 mute ", false },
        { "channel 1.5 mute 1", "invalid message : channel 1.5 mute 1 ", false },
        { "channel 1 loud 1", "invalid message : channel 1 loud 1 ", false },
        { "fadeout soon", "invalid message : fadeout soon ", false },
        { "fadeout NaN", "invalid message : fadeout nan ", false },
        { "fadeout Inf", "invalid message : fadeout inf ", false },
        // Infinite once narrowed to the 32-bit float the time is kept in: a fade that
        // would never end. The number is echoed as typed.
        { "fadeout 1e308", "invalid message : fadeout 1e+308 ", false },
        { "fadeout -1e39", "invalid message : fadeout -1e+39 ", false },
        { "numchannels 3", "could not dynamically change number of channels", true },
        { "numleds 11", "could not dynamically change number of leds", true },
        { "width 11", "could not dynamically change width", true },
        // NaN and the infinities are no value of any number attribute: the change is refused whole.
        { "gain NaN", "invalid value for attribute gain", true },
        { "mute NaN", "invalid value for attribute mute", true },
        { "post Inf", "invalid value for attribute post", true },
        { "peakhold NaN", "invalid value for attribute peakhold", true },
        { "peakholdrate -Inf", "invalid value for attribute peakholdrate", true },
        { "coldcolor 0.1 NaN 0.3 1", "invalid value for attribute coldcolor", true },
        { "windowtopleft 10 Inf", "invalid value for attribute windowtopleft", true },
        { "windowmoveable NaN", "invalid value for attribute windowmoveable", true },
        { "showrms NaN", "invalid value for attribute showrms", true },
        { "showfps Inf", "invalid value for attribute showfps", true },
        { "useopengl NaN", "invalid value for attribute useopengl", true },
        { "numchannels NaN", "invalid value for attribute numchannels", true },
        { "width Inf", "invalid value for attribute width", true },
        // Beyond the 32-bit float range: infinite once narrowed.
        { "hotcolor 1e308 0 0 1", "invalid value for attribute hotcolor", true },
        { "windowtopleft 10 -1e39", "invalid value for attribute windowtopleft", true },
    };
    for (const bool fromScheduler : { false, true })
    {
        for (const auto& [message, error, notifies] : cases)
        {
            SCOPED_TRACE (message + (fromScheduler ? " from the scheduler" : ""));
            maxhost::clearRecordings();
            const auto notified = notificationCount (meter);
            fromScheduler ? sendFromScheduler (meter, message) : send (meter, message);
            settle();
            EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { error });
            EXPECT_EQ (notificationCount (meter), notified + (notifies ? 1 : 0));
        }
    }
    EXPECT_EQ (maxhost::atomsToText (state()), before);
    EXPECT_EQ (meter->gui->getGain(), 0.0f);
    EXPECT_EQ (meter->fadeRequest.load(), meter_nofaderequest);
}

TEST_F (BadInputTest, TheRefreshClockNeverWaitsLessThanItsMinimumWhateverTheRate)
{
    const std::vector<std::pair<float, double>> delays {
        { 50.0f, 50.0 }, { 5.0f, 5.0 }, { 0.0f, 5.0 }, { -3.0f, 5.0 }, { 4000.0f, 3000.0 }, { NAN, 5.0 }, { -INFINITY, 5.0 }, { INFINITY, 3000.0 },
    };
    for (const auto& [rate, delay] : delays)
        EXPECT_EQ (meter_refreshdelay (rate), delay) << rate;

    // A clock re-armed at once would keep virtual time from moving on.
    for (const float rate : { 0.0f, NAN })
    {
        meter->rate = rate;
        const auto start = maxhost::now();
        maxhost::advance (100.0);
        EXPECT_GE (maxhost::now(), start + 100.0) << rate;
    }
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}

TEST_F (BadInputTest, ChannelWithASymbolAtomWithoutItsSymbolIsAnInvalidMessage)
{
    // The standard messages ("reset", "postattributes", "exportdict"...) are checked with the glue.
    const auto one = atomsOf ("1")[0];
    t_atom nullSymbol {};
    nullSymbol.a_type = A_SYM;
    maxhost::send (asObject (meter), "channel", { one, nullSymbol, one });
    settle();
    EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "invalid message : channel 1  1 " });
    EXPECT_FALSE (meter->gui->getMute (0) || meter->gui->getSolo (0));
}
