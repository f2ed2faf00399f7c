#include "docs/ExternalDocumentation.h"

#include "common/Exception.h"

#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <vector>

namespace
{
std::vector<std::string>& reports()
{
    static std::vector<std::string> texts;
    return texts;
}

void collectReport (const std::string& text)
{
    reports().push_back (text);
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        reports().clear();
        previous = kul::SetReportSink (collectReport);
    }

    void TearDown() override { kul::SetReportSink (previous); }

    kul::ReportSink previous = nullptr;
};
} // namespace

using namespace Zelm;

TEST_F (RegistryTest, MeterTextsAreFoundWhateverTheCase)
{
    for (const char* name : { "zelm.meter~", "ZELM.METER~", "Zelm.Meter~", "zElM.mEtEr~" })
    {
        EXPECT_EQ (GetExternalDigest (name), "Multichannel signal metering interface.") << name;
        EXPECT_EQ (GetExternalDescription (name), "zelm.meter~ is a multichannel signal metering interface.") << name;
        EXPECT_EQ (GetExternalSeeAlso (name), "zelm.rms~, meter~, live.gain~") << name;
        EXPECT_EQ (GetExternalType (name), MaxMspExternal::MeterTildaType) << name;
    }
    EXPECT_TRUE (reports().empty());
}

TEST_F (RegistryTest, UnknownNamesGiveEmptyTextsSilentlyAndTypeZeroWithAReport)
{
    for (const char* name : { "zelm.meter", "", "zelm.meter~ " })
    {
        EXPECT_EQ (GetExternalDigest (name), "");
        EXPECT_EQ (GetExternalDescription (name), "");
        EXPECT_EQ (GetExternalSeeAlso (name), "");
    }
    EXPECT_TRUE (reports().empty()) << "the text lookups never report";

    EXPECT_EQ (GetExternalType ("zelm.meter"), 0);
    ASSERT_EQ (reports().size(), 1u);
    EXPECT_NE (reports()[0].find ("unknwon external : zelm.meter"), std::string::npos) << reports()[0];
}

TEST_F (RegistryTest, FactoryMakesDocumentationOnlyForTypesItCarries)
{
    std::unique_ptr<MaxMspExternalDocumentation> meter (CreateExternalDocumentation (MaxMspExternal::MeterTildaType));
    ASSERT_NE (meter, nullptr);
    EXPECT_NE (dynamic_cast<External::MeterTilda*> (meter.get()), nullptr);
    EXPECT_EQ (meter->GetType(), 79);

    for (std::int32_t value : { 47, 82, 152, 1000, -1 })
        EXPECT_EQ (CreateExternalDocumentation (static_cast<MaxMspExternal::Type> (value)), nullptr) << value;
}

TEST_F (RegistryTest, MapIsFilledOnceAndIgnoresCase)
{
    auto& first = GetExternalTypeMap();
    const auto size = first.Size();
    auto& second = GetExternalTypeMap();
    EXPECT_EQ (&first, &second);
    EXPECT_EQ (second.Size(), size) << "nothing is inserted twice";
    EXPECT_TRUE (second.IsIgnoringCase());
    EXPECT_TRUE (second.GetNames().Contains ("ZELM.METER~", true));
}

TEST (SharedTextsTest, LengthsAndDoubleBlanks)
{
    EXPECT_EQ (NumChannelsDescription.size(), 300u);
    EXPECT_EQ (WindowTitleDescription.size(), 105u);
    EXPECT_NE (NumChannelsDescription.find ("This  attribute"), std::string::npos);
    EXPECT_NE (NumChannelsDescription.find ("since  the"), std::string::npos);
}
