#include "docgen/ExternalDocumentation.h"

#include "common/Exception.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace Zelm;

namespace
{
std::vector<std::string> reports;

struct RegistryTest : ::testing::Test
{
    void SetUp() override { previous = kul::SetReportSink ([] (const std::string& text) { reports.push_back (text); }); }
    void TearDown() override
    {
        kul::SetReportSink (previous);
        reports.clear();
    }
    kul::ReportSink previous = nullptr;
};
} // namespace

TEST_F (RegistryTest, TextsAreFoundWhateverTheCaseAndUnknownNamesGiveEmptyTextsSilently)
{
    for (const char* name : { "zelm.meter~", "ZELM.METER~", "zElM.mEtEr~" })
    {
        EXPECT_EQ (GetExternalDigest (name), "Multichannel signal metering interface.") << name;
        EXPECT_EQ (GetExternalDescription (name), "zelm.meter~ is a multichannel signal metering interface.") << name;
        EXPECT_EQ (GetExternalSeeAlso (name), "zelm.rms~, meter~, live.gain~") << name;
        EXPECT_EQ (GetExternalType (name), MaxMspExternal::MeterTildaType) << name;
    }
    for (const char* name : { "zelm.meter", "", "zelm.meter~ " })
        EXPECT_EQ (GetExternalDigest (name) + GetExternalDescription (name) + GetExternalSeeAlso (name), "") << name;
    EXPECT_TRUE (reports.empty()) << "the text lookups never report";
}

TEST_F (RegistryTest, UnknownTypesGiveZeroWithAReportAndNoDocumentation)
{
    EXPECT_EQ (GetExternalType ("zelm.meter"), 0);
    ASSERT_EQ (reports.size(), 1u);
    EXPECT_NE (reports[0].find ("unknwon external : zelm.meter"), std::string::npos) << reports[0];
    std::unique_ptr<MaxMspExternalDocumentation> meter (CreateExternalDocumentation (MaxMspExternal::MeterTildaType));
    ASSERT_NE (dynamic_cast<External::MeterTilda*> (meter.get()), nullptr);
    EXPECT_EQ (meter->GetType(), 79);
    for (std::int32_t value : { 47, 82, 1000, -1 })
        EXPECT_EQ (CreateExternalDocumentation (static_cast<MaxMspExternal::Type> (value)), nullptr) << value;
}

TEST (SharedTextsTest, LengthsAndDoubleBlanksAreKept)
{
    EXPECT_EQ (NumChannelsDescription.size(), 300u);
    EXPECT_EQ (WindowTitleDescription.size(), 105u);
    EXPECT_NE (NumChannelsDescription.find ("This  attribute"), std::string::npos);
    EXPECT_NE (NumChannelsDescription.find ("since  the"), std::string::npos);
}
