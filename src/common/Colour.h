#pragma once

#include <string>

namespace kul
{

/** Red, green, blue and alpha, each nominally between 0 and 1. */
class Colour
{
public:
    Colour() noexcept = default;
    Colour (float red, float green, float blue, float alpha) noexcept;

    /** From hexadecimal text "0xAARRGGBB" or "0xRRGGBB" (the "0x" may be left out;
        without alpha digits the colour is opaque). Any other text throws a
        kul::Exception. */
    explicit Colour (const std::string& hexText);

    /** "r g b a", each with three decimals, e.g. "1.000 0.500 0.000 1.000". */
    std::string ToString() const;

    float GetRed() const noexcept { return red; }
    float GetGreen() const noexcept { return green; }
    float GetBlue() const noexcept { return blue; }
    float GetAlpha() const noexcept { return alpha; }

private:
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 0.0f;
};

} // namespace kul
