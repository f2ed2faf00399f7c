#include "common/Exception.h"
#include "common/StringMap.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace
{
enum class Mode
{
    none,
    peak,
    rms
};

std::vector<std::string> textsOf (const kul::StringArray& array)
{
    return { array.begin(), array.end() };
}

/** A value whose copies fail while armed; moves never do. */
struct FailingCopy
{
    static inline bool armed = false;

    int value = 0;

    FailingCopy() = default;
    FailingCopy (const FailingCopy& other) : value (other.value)
    {
        if (armed)
            throw std::runtime_error ("copy failed");
    }
    FailingCopy (FailingCopy&&) noexcept = default;
    FailingCopy& operator= (const FailingCopy&) = default;
    FailingCopy& operator= (FailingCopy&&) noexcept = default;
};

void discardReport (const std::string&) {}
} // namespace

TEST (StringMap, LookupsFollowTheCaseFlag)
{
    for (const bool ignoreCase : { true, false })
    {
        SCOPED_TRACE (ignoreCase);
        kul::StringMap<Mode> modes (ignoreCase);
        modes["peak"] = Mode::peak;

        EXPECT_EQ (modes["PEAK"], ignoreCase ? Mode::peak : Mode::none);
        const std::vector<std::string> expectedNames = ignoreCase ? std::vector<std::string> { "peak" }
                                                                  : std::vector<std::string> { "peak", "PEAK" };
        EXPECT_EQ (textsOf (modes.GetNames()), expectedNames);
        EXPECT_EQ (modes.GetValues().Size(), modes.Size());
    }
}

TEST (StringMap, KeysAreTheFirstNamesOfDistinctValues)
{
    kul::StringMap<Mode> modes (true);
    EXPECT_TRUE (modes.GetAllKeys (false).empty());

    modes["Peak"] = Mode::peak;
    modes["RMS"] = Mode::rms;
    modes["rmsAlias"] = Mode::rms;

    EXPECT_EQ (modes.GetKeyOf (Mode::rms), "RMS");
    EXPECT_EQ (modes.GetKeyOf (Mode::none), "");
    EXPECT_EQ (textsOf (modes.GetAllKeys (false)), (std::vector<std::string> { "Peak", "RMS" }));
    EXPECT_EQ (textsOf (modes.GetAllKeys (true)), (std::vector<std::string> { "peak", "rms" }));
    EXPECT_EQ (textsOf (modes.GetNames()), (std::vector<std::string> { "Peak", "RMS", "rmsAlias" }));
}

TEST (StringMap, AFailedAdditionLeavesNamesAndValuesPaired)
{
    const auto previousSink = kul::SetReportSink (discardReport);
    kul::StringMap<FailingCopy> map (false);
    map["first"].value = 1;

    FailingCopy::armed = true;
    EXPECT_THROW (map["second"], kul::Exception);
    FailingCopy::armed = false;

    EXPECT_EQ (textsOf (map.GetNames()), std::vector<std::string> { "first" });
    EXPECT_EQ (map.GetValues().Size(), 1u);

    map["second"].value = 2;
    EXPECT_EQ (map["first"].value, 1);
    EXPECT_EQ (map["second"].value, 2);
    kul::SetReportSink (previousSink);
}
