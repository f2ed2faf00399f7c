// A short tour of the foundation library: what it prints is what the later
// layers (the mixer, the meter window, the host glue) build on.
#include "common/Colour.h"
#include "common/Exception.h"
#include "files/File.h"
#include "math/Vector.h"
#include "math/VectorOperations.h"
#include "text/StringArray.h"
#include "text/StringHelper.h"

#include <cmath>
#include <iostream>
#include <numbers>

namespace
{
void printReport (const std::string& text)
{
    std::cout << "  report: " << text;
}

float toDecibels (float magnitude)
{
    return 20.0f * std::log10 (magnitude + 0.000001f);
}
} // namespace

int main()
{
    std::cout << "Vector arithmetic on one block of a 1 kHz sine at 44.1 kHz:\n";
    kul::Vector<float> block;
    block.Resize (512);
    for (size_t i = 0; i < block.Size(); ++i)
        block[i] = 0.5f * std::sin (2.0f * std::numbers::pi_v<float> * 1000.0f * static_cast<float> (i) / 44100.0f);

    std::cout << "  peak " << StringHelper::ToString (toDecibels (kul::GetMaxMagnitude (block.GetData(), block.Size())), 2) << " dB\n";
    kul::ApplyGainRamp (block.GetData(), block.GetData(), block.Size(), 1.0f, 0.0f);
    std::cout << "  after a fade to silence, last sample " << StringHelper::ToString (block[block.Size() - 1], 3) << "\n";

    std::cout << "Texts:\n";
    std::cout << "  " << StringHelper::FormatFloat ("%.3f", 0.1f) << ", " << StringHelper::DoubleToString (123.456, 2)
              << ", " << StringHelper::ToString (static_cast<long> (-9223372036854775807L - 1)) << "\n";
    std::cout << "  split \"peak,rms,\" -> " << StringHelper::Split ("peak,rms,", ",", false).size() << " pieces\n";
    std::cout << "  colour 0xff008000 -> " << kul::Colour ("0xff008000").ToString() << "\n";

    std::cout << "Paths:\n";
    for (const char* text : { "/a/b/", "  /a/b  ", "~/Documents", "../x" })
        std::cout << "  \"" << text << "\" -> " << kul::File (text).GetFullPathName() << "\n";

    std::cout << "Exceptions write a report when they are built:\n";
    kul::SetReportSink (printReport);
    try
    {
        throw kul::Exception ("demonstration", "src/showcase.cpp", 42, true, false);
    }
    catch (const kul::Exception& e)
    {
        std::cout << "  caught: " << e.what() << "\n";
    }
    kul::SetReportSink (nullptr);
    return 0;
}
