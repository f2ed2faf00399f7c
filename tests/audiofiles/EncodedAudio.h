#pragma once

#include "containers/AudioBuffer.h"
#include "files/File.h"

#include <string>
#include <vector>

namespace audiofiletests
{

/** Decoded audio: per channel, every sample of the stream in -1 .. +1. */
struct DecodedAudio
{
    int channels = 0;
    long sampleRate = 0;
    std::vector<std::vector<float>> samples;

    long Frames() const { return samples.empty() ? 0 : static_cast<long> (samples[0].size()); }
};

/** The test signal: a sine per channel over pseudo-random noise, well below full scale; or
    a click train (one full-scale sample every 10 ms), which makes a layer III encoder
    switch to short blocks. */
enum class Signal
{
    tones,
    clicks
};

/** Encodes frames of the signal with Debian's lame and the given options into an MPEG
    audio file; false when lame fails. */
bool EncodeWithLame (const kul::File& mp3, const std::string& lameOptions, int channels, long frames, int sampleRate,
                     Signal signal = Signal::tones);

/** Encodes frames of the tones as MPEG layer II with Debian's sox, which takes the output
    options given (the bit rate: "-C 192"); false when sox fails. */
bool EncodeWithSox (const kul::File& mp2, const std::string& soxOptions, int channels, long frames, int sampleRate);

/** Writes frames of the tones as a WAV file with Debian's sox in its sample encoding
    ("a-law", "u-law", "ima-adpcm", "ms-adpcm"); false when sox fails. */
bool EncodeWavWithSox (const kul::File& wav, const std::string& encoding, int channels, long frames, int sampleRate);

/** How libmpg123 is set up to decode a reference: its defaults unless asked. */
struct Mpg123Settings
{
    bool forceStereo = false; // mono frames in both channels (MPG123_FORCE_STEREO)
    long resyncLimit = 0;     // bytes without a frame that a decode crosses; 0: libmpg123's
    bool dropLoneHeaders = false; // leave out frames that adjoin neither neighbour (headers in junk)
};

/** The whole stream as libmpg123 decodes it, with the encoder's delay and padding kept
    (no gapless trimming). Bytes after the last frame in which libmpg123 finds no
    further frame end the stream, as they end its decoding. */
DecodedAudio DecodeWithMpg123 (const kul::File& mp3, const Mpg123Settings& settings = {});

/** Every frame of every link of an Ogg Vorbis or Opus file as libvorbisfile or libopusfile
    decodes it, up to the length the library gives the file (its last granule position). */
DecodedAudio DecodeWithOggLibrary (const kul::File& file);

/** A page of an Ogg file: where it begins, its size in bytes and its granule position. */
struct OggPage
{
    size_t offset;
    size_t size;
    int64_t granule;
};

/** The whole pages of an Ogg file, in order. */
std::vector<OggPage> OggPages (const std::vector<unsigned char>& bytes);

/** Writes the checksum of the whole page that starts at page. */
void SetOggChecksum (unsigned char* page, size_t size);

/** Gives the page of the file another granule position, with its checksum. */
void SetOggGranule (std::vector<unsigned char>& bytes, const OggPage& page, int64_t granule);

/** Writes the test signal with libsndfile in the format (SF_FORMAT_...). */
void WriteSignalWithSndfile (const kul::File& file, int format, int channels, long frames, int sampleRate);

/** The whole file as libsndfile reads it, in -1 .. +1 (no sample rate). */
DecodedAudio ReadFloatsWithSndfile (const kul::File& file);

/** The buffer's samples 0 .. count-1 are the reference's from start on (0 outside it), each
    within the tolerance. */
void ExpectSamplesNear (const kul::AudioBuffer& buffer, const DecodedAudio& reference, long start, long count,
                        float tolerance, const std::string& what);

std::vector<unsigned char> ReadBytes (const kul::File& file);
void WriteBytes (const kul::File& file, const std::vector<unsigned char>& bytes);

/** The largest main_data_begin of the layer III frames libmpg123 finds in the file: how
    far back, in bytes, a frame's main data reaches into the frames before it. */
int LargestMainDataBegin (const kul::File& mp3);

} // namespace audiofiletests
