#pragma once

#include <memory>
#include <string>

namespace kul
{
class AudioFileReader;
class File;

/** The formats that have a reader of their own, each named in the factory's format table. */
enum class AudioFileFormat
{
    aiff,
    wav,
    mp3
};

/** The name the format table gives the format: "AIFF File", "WAV File" or "MP3 File". */
std::string FormatNameOf (AudioFileFormat format);

/** True for the formats whose reads cannot fail part-way ("AIFF File" and "WAV File": frames
    are copied from the file, zeros past its end), so that a load may read them straight
    into the storage of the buffer it replaces. */
bool ReadsCannotFail (const std::string& formatName);

/** The name of a format read through the platform: the file's extension without its dot,
    in capitals, followed by " File" (" File" alone for a file without an extension). */
std::string FormatNameFromExtension (const File& file);

/** The format of an audio file: "WAV File" or "AIFF File" by its first four bytes
    ("RIFF", "RF64", "BW64"; "FORM"), else by its extension compared without regard to
    case (".aiff", ".aif"; ".wav", ".bwf", ".bw64", ".amb", ".uhj"; ".mp3" gives
    "MP3 File"), else "unknown". Throws a kul::Exception when the file cannot be opened. */
std::string DetectAudioFileFormat (const File& file);

/** A new reader for the file, owned by the caller: the AIFF, WAV or MPEG reader by the
    detected format, the platform reader for every other one. Null for an empty path.
    Throws a kul::Exception: "File " + the quoted path + " does not exist." for a missing
    file, "File " + the quoted path + " is not a valid audio file." when no valid reader
    results, and the readers' own refusals as they are. */
AudioFileReader* AudioFileFactory (const File& file);

} // namespace kul
