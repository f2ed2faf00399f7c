#include "audiofiles/AudioFileFactory.h"

#include "audiofiles/AiffFileReader.h"
#include "audiofiles/ChunkParsing.h"
#include "audiofiles/CoreAudioFileReader.h"
#include "audiofiles/MP3FileReader.h"
#include "audiofiles/WavFileReader.h"
#include "common/Exception.h"
#include "files/File.h"
#include "files/FileReader.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kul
{
namespace
{
using audiofiles::ChunkId;

constexpr const char* sourceFile = "audiofiles/OskelDspAudioFileReader";

template <typename Reader>
std::unique_ptr<AudioFileReader> MakeReader (const File& file)
{
    return std::make_unique<Reader> (file);
}

/* A format with a reader of its own: the first four bytes that identify it, the
   extensions that name it when those bytes are no known magic, and its reader. */
struct OwnReaderFormat
{
    AudioFileFormat format;
    std::string_view name;
    std::span<const uint32_t> magics;
    const char* extensions;
    std::unique_ptr<AudioFileReader> (*makeReader) (const File&);
    bool readsCannotFail; // frames copied from the file, zeros past its end
};

constexpr uint32_t aiffMagics[] { ChunkId ("FORM") };
constexpr uint32_t wavMagics[] { ChunkId ("RIFF"), ChunkId ("RF64"), ChunkId ("BW64") };

// Extensions are tried in this order. A magic wins over any extension, so a ".wav"
// file that begins with "FORM" is read as AIFF.
constexpr std::array ownReaderFormats {
    OwnReaderFormat { AudioFileFormat::aiff, "AIFF File", aiffMagics, ".aiff .aif", MakeReader<AiffFileReader>, true },
    OwnReaderFormat { AudioFileFormat::wav, "WAV File", wavMagics, ".wav .bwf .bw64 .amb .uhj", MakeReader<WavFileReader>, true },
    OwnReaderFormat { AudioFileFormat::mp3, "MP3 File", {}, ".mp3", MakeReader<MP3FileReader>, false },
};

// Rows stand in the order of AudioFileFormat, so that a reader finds its name by its format,
// and every name ends as those of the platform's formats do.
constexpr std::string_view formatNameSuffix = " File";

consteval bool rowsFollowTheFormats()
{
    for (size_t i = 0; i < ownReaderFormats.size(); ++i)
        if (static_cast<size_t> (ownReaderFormats[i].format) != i || ! ownReaderFormats[i].name.ends_with (formatNameSuffix))
            return false;
    return true;
}

static_assert (rowsFollowTheFormats());

// A file shorter than four bytes reads as 0, which is no format's magic.
uint32_t ReadMagic (const File& file)
{
    FileReader reader (file);
    return static_cast<uint32_t> (reader.ReadInt());
}

const OwnReaderFormat* FindOwnReaderFormat (const File& file)
{
    const auto magic = ReadMagic (file);

    for (const auto& format : ownReaderFormats)
        if (std::ranges::find (format.magics, magic) != format.magics.end())
            return &format;

    for (const auto& format : ownReaderFormats)
        if (file.HasFileExtension (format.extensions))
            return &format;

    return nullptr;
}

// Null when the platform cannot open the file.
std::unique_ptr<AudioFileReader> MakePlatformReader (const File& file)
{
    auto reader = std::make_unique<CoreAudioFileReader> (file);

    if (! reader->IsOpen())
        return nullptr;

    return reader;
}
} // namespace

std::string FormatNameOf (AudioFileFormat format)
{
    return std::string (ownReaderFormats[static_cast<size_t> (format)].name);
}

bool ReadsCannotFail (const std::string& formatName)
{
    return std::ranges::any_of (ownReaderFormats, [&] (const auto& row) { return row.readsCannotFail && row.name == formatName; });
}

std::string FormatNameFromExtension (const File& file)
{
    std::string suffix = file.GetFileExtension();

    if (! suffix.empty() && suffix.front() == '.')
        suffix.erase (0, 1);

    StringHelper::ToUpperCase (suffix);
    return suffix + std::string (formatNameSuffix);
}

std::string DetectAudioFileFormat (const File& file)
{
    const auto* format = FindOwnReaderFormat (file);
    return format != nullptr ? std::string (format->name) : "unknown";
}

AudioFileReader* AudioFileFactory (const File& file)
{
    if (file.GetFullPathName().empty())
        return nullptr;

    if (! file.ExistsAsFile())
        throw Exception ("File " + StringHelper::Quoted (file.GetFullPathName()) + " does not exist.", sourceFile, 281, true, false);

    const auto* format = FindOwnReaderFormat (file);
    auto reader = format != nullptr ? format->makeReader (file) : MakePlatformReader (file);

    if (reader == nullptr || ! reader->IsValid())
        throw Exception ("File " + StringHelper::Quoted (file.GetFullPathName()) + " is not a valid audio file.", sourceFile, 306, true, false);

    return reader.release();
}

} // namespace kul
