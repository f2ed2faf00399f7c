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

namespace kul
{
namespace
{
using audiofiles::ChunkId;

constexpr const char* sourceFile = "audiofiles/OskelDspAudioFileReader";
} // namespace

std::string DetectAudioFileFormat (const File& file)
{
    FileReader reader (file);
    const auto magic = static_cast<uint32_t> (reader.ReadInt());

    if (magic == ChunkId ("RIFF") || magic == ChunkId ("RF64") || magic == ChunkId ("BW64"))
        return "WAV File";

    if (magic == ChunkId ("FORM"))
        return "AIFF File";

    if (file.HasFileExtension (".aiff .aif"))
        return "AIFF File";

    if (file.HasFileExtension (".wav .bwf .bw64 .amb .uhj"))
        return "WAV File";

    if (file.HasFileExtension (".mp3"))
        return "MP3 File";

    return "unknown";
}

AudioFileReader* AudioFileFactory (const File& file)
{
    if (file.GetFullPathName().empty())
        return nullptr;

    if (! file.ExistsAsFile())
        throw Exception ("File " + StringHelper::Quoted (file.GetFullPathName()) + " does not exist.", sourceFile, 281, true, false);

    const auto format = DetectAudioFileFormat (file);
    std::unique_ptr<AudioFileReader> reader;

    if (format == "AIFF File")
    {
        reader = std::make_unique<AiffFileReader> (file);
    }
    else if (format == "WAV File")
    {
        reader = std::make_unique<WavFileReader> (file);
    }
    else if (format == "MP3 File")
    {
        reader = std::make_unique<MP3FileReader> (file);
    }
    else
    {
        auto platformReader = std::make_unique<CoreAudioFileReader> (file);

        if (platformReader->IsOpen())
            reader = std::move (platformReader);
    }

    if (reader == nullptr || ! reader->IsValid())
        throw Exception ("File " + StringHelper::Quoted (file.GetFullPathName()) + " is not a valid audio file.", sourceFile, 306, true, false);

    return reader.release();
}

} // namespace kul
