#include "common/Colour.h"

#include "common/Exception.h"
#include "text/StringHelper.h"

namespace kul
{
namespace
{
// 1/255 as the float that the colour constants were built with.
constexpr float byteScale = 0.003921569f;
} // namespace

Colour::Colour (float r, float g, float b, float a) noexcept
    : red (r), green (g), blue (b), alpha (a)
{
}

Colour::Colour (const std::string& hexText)
{
    std::string digits = hexText;
    StringHelper::RemoveAll (digits, "0x");

    const bool hasAlpha = digits.size() == 8;
    int bytes[4] = { 255, 0, 0, 0 };

    if (digits.size() != 6 && ! hasAlpha)
        throw Exception ("invalid colour text " + StringHelper::Quoted (hexText), "common/Colour", __LINE__, true, false);

    for (size_t i = hasAlpha ? 0 : 1, position = 0; i < 4; ++i, position += 2)
    {
        bytes[i] = StringHelper::HexDigitsToInt (digits[position], digits[position + 1]);

        if (bytes[i] < 0)
            throw Exception ("invalid colour text " + StringHelper::Quoted (hexText), "common/Colour", __LINE__, true, false);
    }

    alpha = (float) bytes[0] * byteScale;
    red = (float) bytes[1] * byteScale;
    green = (float) bytes[2] * byteScale;
    blue = (float) bytes[3] * byteScale;
}

std::string Colour::ToString() const
{
    return StringHelper::FormatFloat ("%.3f ", red)
         + StringHelper::FormatFloat ("%.3f ", green)
         + StringHelper::FormatFloat ("%.3f ", blue)
         + StringHelper::FormatFloat ("%.3f", alpha);
}

} // namespace kul
