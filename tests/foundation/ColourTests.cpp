#include "common/Colour.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
void discardColourReport (const std::string&) {}

constexpr float byteScale = 0.003921569f;
} // namespace

TEST (Colour, HexTextGivesEachByteScaledToOne)
{
    const kul::Colour blueViolet ("0xff8a2be2");
    EXPECT_EQ (blueViolet.GetRed(), 138 * byteScale);
    EXPECT_EQ (blueViolet.GetGreen(), 43 * byteScale);
    EXPECT_EQ (blueViolet.GetBlue(), 226 * byteScale);
    EXPECT_EQ (blueViolet.GetAlpha(), 1.0f);

    const kul::Colour halfTransparent ("0x80FFFFFF");
    EXPECT_EQ (halfTransparent.GetAlpha(), 128 * byteScale);
    EXPECT_EQ (halfTransparent.GetRed(), 1.0f);

    const kul::Colour withoutAlpha ("0x000080");
    EXPECT_EQ (withoutAlpha.GetBlue(), 128 * byteScale);
    EXPECT_EQ (withoutAlpha.GetAlpha(), 1.0f);

    EXPECT_EQ (kul::Colour ("ff8a2be2").ToString(), blueViolet.ToString());
}

TEST (Colour, MalformedHexTextIsRefused)
{
    const auto previousSink = kul::SetReportSink (discardColourReport);

    for (const std::string text : { "", "0x", "0xfff", "0xff8a2be", "0xff8a2be2ff", "0xgg8a2be2", "0xff8a2b 2", "0Xff8a2be2" })
    {
        try
        {
            const kul::Colour colour (text);
            ADD_FAILURE() << "accepted \"" << text << "\": " << colour.ToString();
        }
        catch (const kul::Exception& e)
        {
            EXPECT_EQ (std::string (e.what()), "invalid colour text \"" + text + "\"");
            EXPECT_EQ (e.GetFileName(), "Colour");
        }
    }

    kul::SetReportSink (previousSink);
}

TEST (Colour, TextHasThreeDecimalsPerComponent)
{
    EXPECT_EQ (kul::Colour (1.0f, 0.5f, 0.0f, 1.0f).ToString(), "1.000 0.500 0.000 1.000");
    EXPECT_EQ (kul::Colour (0.0f, 0.502f, 0.0f, 0.25f).ToString(), "0.000 0.502 0.000 0.250");
}
