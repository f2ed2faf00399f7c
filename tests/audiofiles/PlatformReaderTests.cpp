#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/CoreAudioFileReader.h"
#include "containers/AudioBuffer.h"

#include <audiotoolbox/AudioToolbox.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>

#include <sys/resource.h>

namespace audiofiletests
{
namespace
{
struct PlatformFormat
{
    const char* name;
    const char* extension;
    int format;
    int channels;
    int sampleRate;
    float tolerance; // 0: the very samples libsndfile reads
};

const PlatformFormat platformFormats[] = {
    { "Flac16Stereo", ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 0.0f },
    { "Flac24Mono", ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 96000, 0.0f },
    { "OggVorbisStereo", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 48000, 0.02f },
    { "OggOpusStereo", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, 0.02f },
    { "CafFloatThreeChannels", ".caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 3, 32000, 0.0f },
    { "W64Pcm16Stereo", ".w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 2, 22050, 0.0f },
};

class PlatformReaderTest : public AudioFileTest, public ::testing::WithParamInterface<PlatformFormat>
{
};

TEST_P (PlatformReaderTest, ReadsWhatLibsndfileReadsInBlocksAndPastTheEnd)
{
    const auto& format = GetParam();
    const long frames = 20000;
    const auto file = PathFor (std::string ("test") + format.extension);
    WriteSignalWithSndfile (file, format.format, format.channels, frames, format.sampleRate);
    const auto reference = ReadFloatsWithSndfile (file);
    ASSERT_EQ (reference.Frames(), frames);

    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    EXPECT_TRUE (reader.IsValid());
    std::string suffix = format.extension + 1;
    for (auto& ch : suffix)
        ch = static_cast<char> (std::toupper (static_cast<unsigned char> (ch)));
    EXPECT_EQ (reader.GetFormatName(), suffix + " File");
    EXPECT_EQ (reader.GetFileExtension(), "");
    EXPECT_EQ (reader.GetNumChannels(), static_cast<uint32_t> (format.channels));
    EXPECT_EQ (reader.GetSampleRate(), format.sampleRate);
    EXPECT_EQ (reader.GetLengthInSamples(), frames);
    EXPECT_TRUE (reader.IsFloatingPoint());
    EXPECT_EQ (reader.GetBitsPerSample(), 32u);

    // 20000 frames: transfers of 8192, 8192 and 3616.
    kul::AudioBuffer whole (static_cast<unsigned> (format.channels), frames);
    ASSERT_TRUE (reader.Read (whole, 0, frames, 0));
    ExpectSamplesNear (whole, reference, 0, frames, format.tolerance, "whole");

    // Consecutive reads need no seek, a read elsewhere seeks, and frames past the end
    // (also a read that starts there) are silence.
    kul::AudioBuffer part (static_cast<unsigned> (format.channels), 1000);
    for (const long start : { 0L, 1000L, 2000L, 12345L, frames - 300, frames + 50, 1000L })
    {
        for (int c = 0; c < format.channels; ++c)
            part.GetChannel (unsigned (c))[999] = 5.0f;
        ASSERT_TRUE (reader.Read (part, 0, 1000, start)) << start;
        ExpectSamplesNear (part, reference, start, 1000, format.tolerance, "from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileFormats, PlatformReaderTest, ::testing::ValuesIn (platformFormats),
                          [] (const auto& info) { return std::string (info.param.name); });

// Every frame libsndfile decodes reading on from the start, as floats, whatever length
// the header declares.
DecodedAudio DecodeSequentiallyWithSndfile (const kul::File& file)
{
    SF_INFO info {};
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_READ, &info);
    DecodedAudio audio;
    if (sf == nullptr)
    {
        ADD_FAILURE() << "libsndfile cannot open " << file.GetFullPathName();
        return audio;
    }
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.samples.resize (size_t (info.channels));
    std::vector<float> block (size_t (4096) * size_t (info.channels));
    for (sf_count_t got; (got = sf_readf_float (sf, block.data(), 4096)) > 0;)
        for (sf_count_t i = 0; i < got * info.channels; ++i)
            audio.samples[size_t (i % info.channels)].push_back (block[size_t (i)]);
    sf_close (sf);
    return audio;
}

// Long Ogg streams: the reader seeks in them instead of decoding from the first page. The
// whole load must be the reference decode (libsndfile's from the start; libvorbisfile's or
// libopusfile's for a chain of streams, of which libsndfile reads only the first, or for a
// capture), as far as the file is undamaged, and every read must give the very floats of the
// load. The reference decodes the file before the damage a row does to one page: a lying
// granule position or a repeated page changes nothing, and a damaged page costs its frames, no
// more: they are silence, and every later frame keeps its place.
enum class PageDamage
{
    body,                   // bytes of its body flipped: the page is lost
    repeated,               // the page comes twice
    granuleZero,            // its granule position is 0
    granuleLowered,         // 1000 frames lower
    granulesSwapped,        // swapped with the next page's
    granuleSetBackTenPages, // that of the page ten before it
    granuleLargest,         // 2^63 - 1
    granuleOverstated,      // 100,000 frames more (a last page)
    granuleHuge,            // 150,000,000 frames (a last page)
};

struct LongOggFile
{
    const char* name;
    int format;
    int channels = 2;
    int sampleRate = 0;          // 0: 44.1 kHz for Vorbis, 48 kHz for Opus
    bool fullScaleNoise = false; // else tones over quiet noise
    double seconds = 3;
    long lastGranuleLowerBy = 0;   // the first stream's last page declares this many frames fewer than it holds
    int damagedPage = 0;           // the page of the file the damage touches (0: none; counted from the end when negative)
    double secondLinkSeconds = 0;  // a stream of noise joined after the first: a chain
    size_t capturedFromPage = 0;   // the first stream's audio pages before this one are missing, as in a capture that joined it late
    PageDamage damage = PageDamage::body;
    int secondLinks = 1;                   // how many such streams, each with a serial number of its own
    size_t secondLinkCapturedFromPage = 0; // the joined streams' audio pages before this one are missing
    bool endsInsideAPacket = false;        // the first stream is cut after a page that holds only the start of a packet
    bool joinedToItself = false;           // the file is the first stream twice, serial number and all
    double toneHz = 0;                     // the first stream is a tone at half of full scale, not the signal
    bool square = false;                   // the tone is a square wave, not a sine
    double compressionLevel = -1;          // libsndfile's (1: fewest bits); negative: its default
};

constexpr int vorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
constexpr int opus = SF_FORMAT_OGG | SF_FORMAT_OPUS;

const LongOggFile longOggFiles[] = {
    { "VorbisStereoTones", vorbis, 2, 44100, false, 25 },
    { "VorbisSixChannelsNoise", vorbis, 6, 22050, true, 25 },
    { "OpusStereoTones", opus, 2, 48000, false, 25 },
    { "OpusMonoNoise", opus, 1, 48000, true, 25 },
    { "OpusStereoAt16k", opus, 2, 16000, false, 25 }, // libsndfile decodes at 16 kHz
    { "VorbisLastGranuleLies", vorbis, 2, 44100, false, 8, 90000 },
    { "OpusLastGranuleLies", opus, 2, 48000, true, 8, 90000 },
    { "VorbisDamagedPage", vorbis, 2, 44100, false, 10, 0, 10 },
    { "OpusDamagedPage", opus, 2, 48000, false, 10, 0, 5 },
    { "VorbisChainCapturedMidStream", vorbis, 2, 44100, false, 10, 0, 0, 6, 5 },
    { "OpusChainCapturedMidStream", opus, 2, 48000, false, 10, 0, 0, 6, 5 },
    // Links of a single page of audio, whose granule position is their only one.
    { .name = "VorbisChainOfTwoOnePageLinks", .format = vorbis, .seconds = 0.05, .secondLinkSeconds = 0.05 },
    { .name = "OpusChainOfTwoOnePageLinks", .format = opus, .seconds = 0.05, .secondLinkSeconds = 0.05 },
    { .name = "VorbisChainOfFiftyOnePageLinks", .format = vorbis, .seconds = 0.05, .secondLinkSeconds = 0.05, .secondLinks = 49 },
    // A last page without a granule position, its packet never finished.
    { .name = "VorbisEndingInsideAPacket", .format = vorbis, .fullScaleNoise = true, .endsInsideAPacket = true },
    { .name = "VorbisChainWhoseFirstLinkEndsInsideAPacket", .format = vorbis, .fullScaleNoise = true, .secondLinkSeconds = 2, .endsInsideAPacket = true },
    // Granule positions that lie in mid-stream, and a page that comes twice.
    { .name = "VorbisGranuleLargest", .format = vorbis, .seconds = 4, .damagedPage = 6, .damage = PageDamage::granuleLargest },
    { .name = "VorbisGranuleZero", .format = vorbis, .seconds = 10, .damagedPage = 20, .damage = PageDamage::granuleZero },
    { .name = "VorbisGranuleLowered", .format = vorbis, .seconds = 4, .damagedPage = 8, .damage = PageDamage::granuleLowered },
    { .name = "VorbisGranulesSwapped", .format = vorbis, .seconds = 4, .damagedPage = 8, .damage = PageDamage::granulesSwapped },
    { .name = "VorbisGranuleSetBackTenPages", .format = vorbis, .seconds = 10, .damagedPage = 20, .damage = PageDamage::granuleSetBackTenPages },
    { .name = "OpusGranuleZero", .format = opus, .seconds = 6, .damagedPage = 8, .damage = PageDamage::granuleZero },
    { .name = "OpusGranulesSwapped", .format = opus, .seconds = 6, .damagedPage = 8, .damage = PageDamage::granulesSwapped },
    { .name = "OpusGranuleSetBackTenPages", .format = opus, .seconds = 10, .damagedPage = 13, .damage = PageDamage::granuleSetBackTenPages },
    { .name = "VorbisPageRepeated", .format = vorbis, .seconds = 4, .damagedPage = 6, .damage = PageDamage::repeated },
    { .name = "OpusPageRepeated", .format = opus, .seconds = 6, .damagedPage = 6, .damage = PageDamage::repeated },
    // Damage near the end, and last granule positions beyond what the last page holds.
    { .name = "OpusDamagedPageBeforeTheLast", .format = opus, .seconds = 10, .damagedPage = -2 },
    { .name = "VorbisLastGranuleHuge", .format = vorbis, .damagedPage = -1, .damage = PageDamage::granuleHuge },
    { .name = "OpusLastGranuleHuge", .format = opus, .damagedPage = -1, .damage = PageDamage::granuleHuge },
    { .name = "VorbisLastGranuleOverstated", .format = vorbis, .damagedPage = -1, .damage = PageDamage::granuleOverstated },
    { .name = "OpusLastGranuleOverstated", .format = opus, .damagedPage = -1, .damage = PageDamage::granuleOverstated },
    // A capture from 40 % on with a page lost inside it.
    { .name = "VorbisCapturedMidStreamWithADamagedPage", .format = vorbis, .seconds = 10, .damagedPage = 8, .capturedFromPage = 14 },
    // `cat a a`: a beginning of stream with a serial number already seen starts a link.
    { .name = "VorbisJoinedToItself", .format = vorbis, .joinedToItself = true },
    { .name = "OpusJoinedToItself", .format = opus, .joinedToItself = true },
    // A link that ends short of its last granule position, before another link.
    { .name = "VorbisChainFirstLinkShortOfItsGranule", .format = vorbis, .lastGranuleLowerBy = 300, .secondLinkSeconds = 2 },
    { .name = "OpusChainFirstLinkShortOfItsGranule", .format = opus, .lastGranuleLowerBy = 300, .secondLinkSeconds = 2 },
    { .name = "VorbisChainFirstLinkShortBeforeACapture", .format = vorbis, .lastGranuleLowerBy = 300, .secondLinkSeconds = 6, .secondLinkCapturedFromPage = 5 },
    { .name = "OpusChainCodedAt16k", .format = opus, .sampleRate = 16000, .secondLinkSeconds = 2 }, // libopusfile decodes at 48 kHz
    // The fewest bits (6.5 and 11 kbit/s): the SILK layer, whose filter memories a decoder
    // started afresh does not regain however long it decodes.
    { .name = "OpusMonoSineAtFewestBits", .format = opus, .channels = 1, .seconds = 10, .toneHz = 440, .compressionLevel = 1 },
    { .name = "OpusStereoSquareAtFewestBits", .format = opus, .seconds = 10, .toneHz = 220, .square = true, .compressionLevel = 1 },
    { .name = "OpusMonoSineAtFewestBitsWithADamagedPage", .format = opus, .channels = 1, .seconds = 10, .damagedPage = 4, .toneHz = 440, .compressionLevel = 1 },
};

class PlatformLongOggTest : public AudioFileTest, public ::testing::WithParamInterface<LongOggFile>
{
};

// The stream without its audio pages from the second to the one before the first kept.
void captureFrom (std::vector<unsigned char>& bytes, size_t firstKept)
{
    const auto pages = OggPages (bytes);
    bytes.erase (bytes.begin() + long (pages.at (2).offset), bytes.begin() + long (pages.at (firstKept).offset));
}

// The stream cut after a page that holds only the first 255 bytes of a packet (and so no
// granule position), made of the last page that begins with a packet that long.
void endInsideAPacket (std::vector<unsigned char>& bytes)
{
    const auto pages = OggPages (bytes);
    for (size_t i = pages.size() - 1; i > 2; --i)
    {
        const size_t at = pages[i].offset;
        if ((bytes[at + 5] & 1) != 0 || bytes[at + 27] != 255)
            continue;
        const size_t body = at + 27 + bytes[at + 26];
        bytes.erase (bytes.begin() + long (body + 255), bytes.end());
        bytes.erase (bytes.begin() + long (at + 28), bytes.begin() + long (body));
        bytes[at + 5] = 0;
        bytes[at + 26] = 1;
        SetOggGranule (bytes, { at, bytes.size() - at, 0 }, -1);
        return;
    }
    ADD_FAILURE() << "no page begins with a packet of 255 bytes or more";
}

// A tone at half of full scale in every channel, written with libsndfile at the compression level.
void writeTone (const kul::File& file, const LongOggFile& format, long frames, int rate)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = format.channels;
    info.format = format.format;
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_WRITE, &info);
    ASSERT_NE (sf, nullptr) << sf_strerror (nullptr);
    double level = format.compressionLevel;
    if (level >= 0)
    {
        EXPECT_EQ (sf_command (sf, SFC_SET_COMPRESSION_LEVEL, &level, sizeof (level)), SF_TRUE);
    }
    std::vector<double> audio;
    for (long i = 0; i < frames; ++i)
    {
        const double sine = std::sin (2.0 * M_PI * format.toneHz * double (i) / rate);
        audio.insert (audio.end(), size_t (format.channels), format.square ? std::copysign (0.5, sine) : 0.5 * sine);
    }
    EXPECT_EQ (sf_writef_double (sf, audio.data(), frames), frames);
    sf_close (sf);
}

// The most memory the process has held so far.
long peakMegabytes()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST_P (PlatformLongOggTest, TheLoadIsTheReferenceDecodeAndEveryReadEqualsTheLoad)
{
    const auto& format = GetParam();
    const bool isOpus = (format.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS;
    const std::string extension = isOpus ? ".opus" : ".ogg";
    const int rate = format.sampleRate > 0 ? format.sampleRate : isOpus ? 48000 : 44100;
    const auto stream = [&] (const std::string& name, double seconds, unsigned seed) {
        const auto file = PathFor (name + extension);
        const long frames = std::lround (seconds * rate);
        if (format.toneHz > 0 && name == "first")
            writeTone (file, format, frames, rate);
        else if (seed == 0)
            WriteSignalWithSndfile (file, format.format, format.channels, frames, rate);
        else
            WriteWithSndfile (file, format.format, format.channels, frames, rate, seed);
        return ReadBytes (file);
    };

    auto first = stream ("first", format.seconds, format.fullScaleNoise ? 7 : 0);
    if (format.capturedFromPage > 0)
        captureFrom (first, format.capturedFromPage);
    if (format.lastGranuleLowerBy > 0)
    {
        const auto last = OggPages (first).back();
        SetOggGranule (first, last, last.granule - format.lastGranuleLowerBy);
    }
    if (format.endsInsideAPacket)
        endInsideAPacket (first);
    std::vector<std::vector<unsigned char>> links { first };
    for (int i = 0; format.secondLinkSeconds > 0 && i < format.secondLinks; ++i)
    {
        links.push_back (stream ("second" + std::to_string (i), format.secondLinkSeconds, 11 + unsigned (i)));
        if (format.secondLinkCapturedFromPage > 0)
            captureFrom (links.back(), format.secondLinkCapturedFromPage);
    }
    if (format.joinedToItself)
        links.push_back (links[0]);

    // The reference: each stream decoded on its own by libsndfile, one after another, before
    // the damage (libvorbisfile skips a chain's first stream when it is a single page, and gives
    // a stream cut inside a packet no length); libvorbisfile or libopusfile for a capture, whose
    // frames libsndfile numbers from its granule positions, and for an Opus chain coded at
    // another rate, which is read at 48 kHz.
    const auto file = PathFor ("long" + extension);
    const bool chain = links.size() > 1;
    DecodedAudio reference;
    long firstLink = -1;
    std::vector<unsigned char> bytes;
    for (const auto& link : links)
    {
        WriteBytes (file, link);
        const bool captured = &link == &links[0] ? format.capturedFromPage > 0 : format.secondLinkCapturedFromPage > 0;
        const bool readAt48k = chain && isOpus && rate != 48000;
        const auto decoded = captured || readAt48k ? DecodeWithOggLibrary (file) : DecodeSequentiallyWithSndfile (file);
        reference.channels = decoded.channels;
        reference.samples.resize (decoded.samples.size());
        for (size_t c = 0; c < decoded.samples.size(); ++c)
            reference.samples[c].insert (reference.samples[c].end(), decoded.samples[c].begin(), decoded.samples[c].end());
        bytes.insert (bytes.end(), link.begin(), link.end());
        if (firstLink < 0)
            firstLink = reference.Frames();
    }
    long frames = reference.Frames();
    ASSERT_GT (firstLink, 0);
    if (!chain && format.capturedFromPage == 0 && !format.endsInsideAPacket)
    {
        ASSERT_EQ (frames, std::lround (format.seconds * rate) - format.lastGranuleLowerBy);
    }
    // The damaged page's frames, from the granule positions around it less those before the
    // first frame (Opus's pre-skip, or the pages a capture lacks).
    const auto pages = OggPages (bytes);
    const size_t damaged = format.damagedPage < 0 ? size_t (long (pages.size()) + format.damagedPage) : size_t (format.damagedPage);
    const long firstFrame = long (OggPages (links[0]).back().granule) - firstLink;
    const long damageStart = damaged > 0 ? std::max (long (pages.at (damaged - 1).granule) - firstFrame, 0L) : 0;
    const long damageEnd = damaged > 0 ? std::max (long (pages.at (damaged).granule) - firstFrame, 0L) : 0;
    if (damaged > 0)
    {
        const auto& page = pages[damaged];
        const auto granuleOf = [&] (size_t i) { return int64_t (pages.at (i).granule); };
        switch (format.damage)
        {
            case PageDamage::body:
                for (size_t i = 0; i < 16; ++i)
                    bytes[page.offset + page.size / 2 + i] ^= 0x5A;
                break;
            case PageDamage::repeated:
            {
                const std::vector<unsigned char> copy (bytes.begin() + long (page.offset), bytes.begin() + long (page.offset + page.size));
                bytes.insert (bytes.begin() + long (page.offset + page.size), copy.begin(), copy.end());
                break;
            }
            case PageDamage::granuleZero: SetOggGranule (bytes, page, 0); break;
            case PageDamage::granuleLowered: SetOggGranule (bytes, page, granuleOf (damaged) - 1000); break;
            case PageDamage::granulesSwapped:
                SetOggGranule (bytes, page, granuleOf (damaged + 1));
                SetOggGranule (bytes, pages.at (damaged + 1), granuleOf (damaged));
                break;
            case PageDamage::granuleSetBackTenPages: SetOggGranule (bytes, page, granuleOf (damaged - 10)); break;
            case PageDamage::granuleLargest: SetOggGranule (bytes, page, std::numeric_limits<int64_t>::max()); break;
            case PageDamage::granuleOverstated: SetOggGranule (bytes, page, granuleOf (damaged) + 100000); break;
            case PageDamage::granuleHuge: SetOggGranule (bytes, page, 150000000); break;
        }
    }
    WriteBytes (file, bytes);
    // A damaged page's frames are silence, or what the decoder makes of the packets around the
    // gap. A Vorbis decode is exact again two blocks later; an Opus decode only converges (its
    // band energies are predicted from the frames before): 0.1 s on, a decoder started afresh
    // is within 0.07 of a decode from the start, where a frame a page out of place differs by
    // about the tones' amplitude.
    const bool lost = damaged > 0 && format.damage == PageDamage::body;
    const long settled = damageEnd + (isOpus ? 4800 : 8192);
    const float settledTolerance = isOpus ? 0.3f : 0.0f;
    // Beyond a last granule position that overstates the stream, the length is at most what the
    // pages decode to, as libvorbisfile and libopusfile decode them whole.
    const bool overstated = format.damage == PageDamage::granuleOverstated || format.damage == PageDamage::granuleHuge;
    const long decodable = overstated ? DecodeWithOggLibrary (file).Frames() : frames;

    const long peakBefore = peakMegabytes();
    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    kul::AudioBuffer whole (1, 1);
    ASSERT_TRUE (whole.LoadFromAudioFile (file));
    EXPECT_LT (peakMegabytes() - peakBefore, 400) << "the load's peak";
    if (damaged > 0 && overstated)
    {
        ASSERT_GE (long (whole.GetNumSamples()), frames);
        ASSERT_LE (long (whole.GetNumSamples()), decodable);
        frames = long (whole.GetNumSamples());
    }
    ASSERT_EQ (whole.GetNumSamples(), static_cast<unsigned long> (frames));
    ASSERT_EQ (reader.GetLengthInSamples(), frames);
    ExpectSamplesNear (whole, reference, 0, lost ? damageStart : std::min (frames, reference.Frames()), 0.0f, "the load");
    if (lost && settled < frames)
    {
        kul::AudioBuffer after (unsigned (format.channels), static_cast<unsigned long> (frames - settled));
        for (int c = 0; c < format.channels; ++c)
            std::copy_n (whole.GetChannel (unsigned (c)) + settled, frames - settled, after.GetChannel (unsigned (c)));
        ExpectSamplesNear (after, reference, settled, frames - settled, settledTolerance, "the load after the damage");
    }
    DecodedAudio load { format.channels, rate, {} };
    for (int c = 0; c < format.channels; ++c)
        load.samples.emplace_back (whole.GetChannel (unsigned (c)), whole.GetChannel (unsigned (c)) + frames);

    std::mt19937 random (format.channels);
    std::vector<std::pair<long, long>> reads (24); // start, count
    for (auto& [start, count] : reads)
    {
        start = std::uniform_int_distribution<long> (0, frames + 100) (random);
        count = 100 + start % 2000;
    }
    std::sort (reads.begin(), reads.end());
    auto backwards = reads;
    std::reverse (backwards.begin(), backwards.end());
    reads.insert (reads.end(), backwards.begin(), backwards.end());
    // Just ahead of where the last read stopped, a step back, astride the end and the links'
    // meeting, and before, across, inside and after the damaged page.
    reads.insert (reads.end(), { { 1000, 100 }, { 3000 + rate / 2, 100 }, { 3000, 100 }, { frames - 1000, 2000 }, { frames - 50, 100 } });
    if (chain)
    {
        reads.insert (reads.end(), { { firstLink - 1500, 3000 }, { firstLink + 10, 100 } });
    }
    if (damaged > 0)
        reads.insert (reads.end(), { { damageStart - 3000, damageEnd - damageStart + 6000 }, { damageStart - 500, 400 }, { damageStart + 100, 200 },
                                     { damageEnd - 100, 300 }, { damageEnd + 2000, 500 }, { damageEnd + rate * 3, 500 } });

    for (auto [start, count] : reads)
    {
        start = std::max (start, 0L);
        kul::AudioBuffer part (unsigned (format.channels), static_cast<unsigned long> (count));
        ASSERT_TRUE (reader.Read (part, 0, static_cast<uint64_t> (count), start)) << start;
        ExpectSamplesNear (part, load, start, count, 0.0f, "from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileOgg, PlatformLongOggTest, ::testing::ValuesIn (longOggFiles),
                          [] (const auto& info) { return std::string (info.param.name); });

// FLAC files whose STREAMINFO promises frames the file does not hold (a copy cut short,
// a length of 0 for "unknown", the 36-bit field's largest value). A read from past the
// real end gives silence; it must not spoil the reads after it, which libsndfile's FLAC
// seek does once one seek has failed.
struct DamagedFlac
{
    const char* name;
    bool cutInHalf;
    uint64_t declaredFrames; // written to STREAMINFO unless cut
    int64_t length;          // the reader's: none where the bytes cannot back the declared one
};

const DamagedFlac damagedFlacs[] = {
    { "CutInHalf", true, 0, 100000 },
    { "DeclaresNoLength", false, 0, 0 },
    { "DeclaresTheLargestLength", false, (uint64_t (1) << 36) - 1, 0 },
};

class PlatformDamagedFlacTest : public AudioFileTest, public ::testing::WithParamInterface<DamagedFlac>
{
};

TEST_P (PlatformDamagedFlacTest, AReadPastTheRealEndGivesSilenceAndSpoilsNoLaterRead)
{
    const auto& damage = GetParam();
    const long written = 100000;
    const auto file = PathFor ("damaged.flac");
    WriteSignalWithSndfile (file, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, written, 44100);
    auto bytes = ReadBytes (file);
    if (damage.cutInHalf)
        bytes.resize (bytes.size() / 2);
    else
    {
        // The total: 36 bits from the low nibble of byte 21 (STREAMINFO's 14th byte).
        bytes[21] = static_cast<unsigned char> ((bytes[21] & 0xF0) | ((damage.declaredFrames >> 32) & 0x0F));
        for (int i = 0; i < 4; ++i)
            bytes[22 + size_t (i)] = static_cast<unsigned char> (damage.declaredFrames >> (24 - 8 * i));
    }
    WriteBytes (file, bytes);
    const auto reference = DecodeSequentiallyWithSndfile (file);
    const long held = reference.Frames();
    ASSERT_GT (held, 1000);

    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    EXPECT_EQ (reader.GetLengthInSamples(), damage.length);
    EXPECT_EQ (reader.GetDeclaredLength(), damage.cutInHalf ? uint64_t (written) : damage.declaredFrames);
    // One channel is read as far as the stream holds it too, not as far as the header says.
    const DecodedAudio right { 1, reference.sampleRate, { reference.samples.at (1) } };
    kul::AudioBuffer part (2, 1000), channel (1, 1000);
    for (const long start : { held + 20000, 0L, held / 2, held - 300, held + 5, 1000L, held + 50000, held - 1000, 0L })
    {
        part.GetChannel (0)[999] = part.GetChannel (1)[999] = channel.GetChannel (0)[999] = 5.0f;
        ASSERT_EQ (reader.ReadFramesHeld (part, 0, 1000, start), std::clamp (held - start, 0L, 1000L)) << start;
        ExpectSamplesNear (part, reference, start, 1000, 0.0f, "from " + std::to_string (start));
        ASSERT_TRUE (reader.ReadChannel (channel, 0, 0, 1000, 1, start)) << start;
        ExpectSamplesNear (channel, right, start, 1000, 0.0f, "channel 1 from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileFlac, PlatformDamagedFlacTest, ::testing::ValuesIn (damagedFlacs),
                          [] (const auto& info) { return std::string (info.param.name); });

TEST_F (AudioFileTest, PlatformReaderStaysClosedForWhatTheServiceCannotRead)
{
    struct Case
    {
        const char* name;
        std::vector<unsigned char> bytes;
    };

    const Case cases[] = {
        { "empty.m4a", {} },
        { "text.xyz", { 'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o' } },
        { "noextension", std::vector<unsigned char> (4096, 0x55) },
    };

    for (const auto& c : cases)
    {
        const auto file = PathFor (c.name);
        WriteBytes (file, c.bytes);
        kul::CoreAudioFileReader reader (file);
        EXPECT_FALSE (reader.IsOpen()) << c.name;
        kul::AudioBuffer buffer (1, 10);
        EXPECT_FALSE (reader.Read (buffer, 0, 10, 0)) << c.name;
    }

    EXPECT_EQ (kul::CoreAudioFileReader (PathFor ("noextension")).GetFormatName(), " File");
}

// The service itself: only the client format the reader asks for is converted to.
TEST_F (AudioFileTest, AudioServiceAcceptsOnlyFloatNonInterleavedAtTheFilesOwnShape)
{
    const auto file = PathFor ("shape.flac");
    WriteSignalWithSndfile (file, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 1000, 44100);
    std::ifstream stream (file.GetFullPathName(), std::ios::binary);
    std::vector<char> bytes ((std::istreambuf_iterator<char> (stream)), std::istreambuf_iterator<char>());

    const auto read = [] (void* data, SInt64 position, UInt32 count, void* buffer, UInt32* actual) -> OSStatus {
        const auto& source = *static_cast<std::vector<char>*> (data);
        const auto at = static_cast<size_t> (std::min<SInt64> (position, SInt64 (source.size())));
        *actual = static_cast<UInt32> (std::min<size_t> (count, source.size() - at));
        std::copy_n (source.data() + at, *actual, static_cast<char*> (buffer));
        return noErr;
    };
    const auto size = [] (void* data) -> SInt64 { return SInt64 (static_cast<std::vector<char>*> (data)->size()); };

    AudioFileID audioFile = nullptr;
    ASSERT_EQ (AudioFileOpenWithCallbacks (&bytes, read, nullptr, size, nullptr, 0, &audioFile), noErr);
    ExtAudioFileRef ext = nullptr;
    EXPECT_NE (ExtAudioFileWrapAudioFileID (audioFile, true, &ext), noErr);
    ASSERT_EQ (ExtAudioFileWrapAudioFileID (audioFile, false, &ext), noErr);

    const AudioStreamBasicDescription wanted { 44100, kAudioFormatLinearPCM, kAudioFormatFlagIsFloat | kAudioFormatFlagIsNonInterleaved, 4, 1, 4, 2, 32, 0 };
    const auto with = [&] (auto change) {
        auto format = wanted;
        change (format);
        return ExtAudioFileSetProperty (ext, kExtAudioFileProperty_ClientDataFormat, sizeof (format), &format);
    };

    UInt32 frames = 10;
    AudioBufferList list {};
    EXPECT_NE (ExtAudioFileRead (ext, &frames, &list), noErr); // no client format yet

    EXPECT_NE (with ([] (auto& f) { f.mSampleRate = 48000; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mChannelsPerFrame = 1; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mFormatFlags = kAudioFormatFlagIsFloat; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mBitsPerChannel = 16; f.mBytesPerFrame = f.mBytesPerPacket = 2; f.mFormatFlags = kAudioFormatFlagIsNonInterleaved; }), noErr);
    EXPECT_NE (ExtAudioFileSetProperty (ext, kExtAudioFileProperty_ClientDataFormat, 20, &wanted), noErr);
    EXPECT_EQ (with ([] (auto&) {}), noErr);

    SInt64 length = 0;
    UInt32 propertySize = sizeof (length);
    EXPECT_EQ (ExtAudioFileGetProperty (ext, kExtAudioFileProperty_FileLengthFrames, &propertySize, &length), noErr);
    EXPECT_EQ (length, 1000);
    EXPECT_NE (ExtAudioFileSeek (ext, -1), noErr);

    // A list with one buffer for a stereo file, and a buffer too small for the frames asked for.
    float samples[2][10];
    EXPECT_NE (ExtAudioFileRead (ext, &frames, &list), noErr);
    struct { UInt32 count; ::AudioBuffer buffers[2]; } two { 2, { { 1, sizeof (samples[0]), samples[0] }, { 1, 8, samples[1] } } };
    EXPECT_NE (ExtAudioFileRead (ext, &frames, reinterpret_cast<AudioBufferList*> (&two)), noErr);
    two.buffers[1].mDataByteSize = sizeof (samples[1]);
    EXPECT_EQ (ExtAudioFileRead (ext, &frames, reinterpret_cast<AudioBufferList*> (&two)), noErr);
    EXPECT_EQ (frames, 10u);

    EXPECT_EQ (ExtAudioFileDispose (ext), noErr);
    EXPECT_EQ (AudioFileClose (audioFile), noErr);
}

} // namespace
} // namespace audiofiletests
