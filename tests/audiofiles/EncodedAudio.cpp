#include "EncodedAudio.h"

#include "TestFiles.h"

#include <gtest/gtest.h>
#include <mpg123.h>
#include <ogg/ogg.h>
#include <opusfile.h>
#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace audiofiletests
{
namespace
{
std::vector<double> testSignal (int channels, long frames, int sampleRate, Signal signal = Signal::tones)
{
    std::mt19937 random (1234);
    std::uniform_real_distribution<double> noise (-0.1, 0.1);
    std::vector<double> audio (static_cast<size_t> (frames) * static_cast<size_t> (channels));
    const long clickPeriod = std::max (sampleRate / 100, 1);

    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            audio[static_cast<size_t> (i * channels + c)]
                = signal == Signal::clicks ? (i % clickPeriod == 0 ? 0.99 : 0.0)
                                           : 0.5 * std::sin (2.0 * M_PI * (440.0 + 220.0 * c) * double (i) / sampleRate) + noise (random);

    return audio;
}

std::string quotedForShell (const std::string& text)
{
    std::string quoted = "'";
    for (const char ch : text)
        quoted += ch == '\'' ? std::string ("'\\''") : std::string (1, ch);
    return quoted + "'";
}
} // namespace

void WriteSignalWithSndfile (const kul::File& file, int format, int channels, long frames, int sampleRate)
{
    WriteFramesWithSndfile (file, format, channels, sampleRate, testSignal (channels, frames, sampleRate));
}

DecodedAudio ReadFloatsWithSndfile (const kul::File& file)
{
    // Integer samples as words x 2^-31 are the very floats libsndfile scales them to.
    auto audio = ReadWithSndfile (file, 0, std::numeric_limits<long>::max());
    DecodedAudio decoded;
    decoded.channels = audio.channels;
    decoded.samples = std::move (audio.samples);
    return decoded;
}

namespace
{
// Writes the source as a WAV file next to the output and runs the encoder's command on the
// two paths.
bool encode (const kul::File& output, const std::function<std::string (const std::string&, const std::string&)>& command,
             int channels, long frames, int sampleRate, Signal signal)
{
    const kul::File wav (output.GetFullPathName() + ".source.wav");
    WriteFramesWithSndfile (wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels, sampleRate, testSignal (channels, frames, sampleRate, signal));
    const bool encoded = std::system (command (quotedForShell (wav.GetFullPathName()), quotedForShell (output.GetFullPathName())).c_str()) == 0;
    std::filesystem::remove (wav.GetFullPathName());
    return encoded;
}
} // namespace

bool EncodeWithLame (const kul::File& mp3, const std::string& lameOptions, int channels, long frames, int sampleRate, Signal signal)
{
    return encode (mp3, [&] (const std::string& in, const std::string& out) { return "lame --quiet " + lameOptions + " " + in + " " + out; },
                   channels, frames, sampleRate, signal);
}

bool EncodeWithSox (const kul::File& mp2, const std::string& soxOptions, int channels, long frames, int sampleRate)
{
    return encode (mp2, [&] (const std::string& in, const std::string& out) { return "sox --no-show-progress " + in + " -t mp2 " + soxOptions + " " + out; },
                   channels, frames, sampleRate, Signal::tones);
}

bool EncodeWavWithSox (const kul::File& wav, const std::string& encoding, int channels, long frames, int sampleRate)
{
    return encode (wav, [&] (const std::string& in, const std::string& out) { return "sox --no-show-progress " + in + " -e " + encoding + " " + out; },
                   channels, frames, sampleRate, Signal::tones);
}

namespace
{
// Frame by frame, keeping a frame's samples once the next frame shows whether it adjoins
// its neighbours: a frame that starts where its predecessor ends, or where its successor
// starts from its end, is audio.
void decodeDroppingLoneHeaders (mpg123_handle* handle, DecodedAudio& audio)
{
    std::vector<float> pending;
    int64_t previousEnd = -1;
    bool pendingFollows = true;

    const auto keepPending = [&]
    {
        for (size_t i = 0; i < pending.size(); ++i)
            audio.samples[i % static_cast<size_t> (audio.channels)].push_back (pending[i]);
    };

    for (;;)
    {
        const int result = mpg123_framebyframe_next (handle);

        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            break;

        unsigned long header = 0;
        unsigned char* body = nullptr;
        size_t bodyBytes = 0;
        off_t frameNumber = 0;
        unsigned char* samples = nullptr;
        size_t bytes = 0;
        const auto offset = static_cast<int64_t> (mpg123_framepos (handle));

        if (mpg123_framedata (handle, &header, &body, &bodyBytes) != MPG123_OK
            || mpg123_framebyframe_decode (handle, &frameNumber, &samples, &bytes) != MPG123_OK)
        {
            ADD_FAILURE() << "libmpg123: " << mpg123_strerror (handle);
            return;
        }

        const bool follows = previousEnd < 0 || offset == previousEnd;

        if (previousEnd >= 0 && (pendingFollows || follows))
            keepPending();

        const auto* floats = reinterpret_cast<const float*> (samples);
        pending.assign (floats, floats + bytes / sizeof (float));
        pendingFollows = follows;
        previousEnd = offset + 4 + static_cast<int64_t> (bodyBytes);
    }

    if (previousEnd >= 0 && pendingFollows)
        keepPending();
}
} // namespace

DecodedAudio DecodeWithMpg123 (const kul::File& mp3, const Mpg123Settings& settings)
{
    DecodedAudio audio;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new (nullptr, &error);

    if (handle == nullptr)
    {
        ADD_FAILURE() << "mpg123_new: " << mpg123_plain_strerror (error);
        return audio;
    }

    mpg123_param (handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET | (settings.forceStereo ? MPG123_FORCE_STEREO : 0), 0.0);

    if (settings.resyncLimit > 0)
        mpg123_param (handle, MPG123_RESYNC_LIMIT, settings.resyncLimit, 0.0);

    long rate = 0;
    int channels = 0;
    int encoding = 0;

    if (mpg123_open (handle, mp3.GetFullPathName().c_str()) != MPG123_OK
        || mpg123_getformat (handle, &rate, &channels, &encoding) != MPG123_OK)
    {
        ADD_FAILURE() << "libmpg123 cannot open " << mp3.GetFullPathName() << ": " << mpg123_strerror (handle);
        mpg123_delete (handle);
        return audio;
    }

    audio.channels = channels;
    audio.sampleRate = rate;
    audio.samples.assign (static_cast<size_t> (channels), {});

    if (settings.dropLoneHeaders)
    {
        // Every frame in the first one's format (a lone header of another rate or mode is
        // resampled, and then dropped), opened again for the format to hold from the start.
        mpg123_format_none (handle);
        mpg123_format (handle, rate, channels, MPG123_ENC_FLOAT_32);

        if (mpg123_open (handle, mp3.GetFullPathName().c_str()) != MPG123_OK)
            ADD_FAILURE() << "libmpg123 cannot open " << mp3.GetFullPathName() << " again";
        else
            decodeDroppingLoneHeaders (handle, audio);

        mpg123_close (handle);
        mpg123_delete (handle);
        return audio;
    }

    std::vector<float> block (16384);

    for (;;)
    {
        size_t bytes = 0;
        const int result = mpg123_read (handle, block.data(), block.size() * sizeof (float), &bytes);

        for (size_t i = 0; i < bytes / sizeof (float); ++i)
            audio.samples[i % static_cast<size_t> (channels)].push_back (block[i]);

        if (result == MPG123_DONE || (result == MPG123_ERR && mpg123_errcode (handle) == MPG123_RESYNC_FAIL))
            break;

        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
        {
            ADD_FAILURE() << "libmpg123: " << mpg123_strerror (handle);
            break;
        }
    }

    mpg123_close (handle);
    mpg123_delete (handle);
    return audio;
}

DecodedAudio DecodeWithOggLibrary (const kul::File& file)
{
    DecodedAudio audio;
    const auto keep = [&audio] (const auto& sampleOf, long frames) {
        for (long i = 0; i < frames; ++i)
            for (int c = 0; c < audio.channels; ++c)
                audio.samples[size_t (c)].push_back (sampleOf (c, i));
    };

    if (OggOpusFile* opus = op_open_file (file.GetFullPathName().c_str(), nullptr))
    {
        audio.channels = op_channel_count (opus, -1);
        audio.sampleRate = 48000;
        audio.samples.resize (size_t (audio.channels));
        std::vector<float> block (size_t (5760) * size_t (audio.channels));
        for (int got; (got = op_read_float (opus, block.data(), int (block.size()), nullptr)) != 0;)
            if (got > 0)
                keep ([&] (int c, long i) { return block[size_t (i * audio.channels + c)]; }, got);
        for (auto& channel : audio.samples)
            channel.resize (std::min (channel.size(), size_t (op_pcm_total (opus, -1))));
        op_free (opus);
        return audio;
    }

    OggVorbis_File vorbis;
    if (ov_fopen (file.GetFullPathName().c_str(), &vorbis) != 0)
    {
        ADD_FAILURE() << "neither libopusfile nor libvorbisfile opens " << file.GetFullPathName();
        return audio;
    }
    audio.channels = ov_info (&vorbis, -1)->channels;
    audio.sampleRate = ov_info (&vorbis, -1)->rate;
    audio.samples.resize (size_t (audio.channels));
    float** pcm = nullptr;
    for (long got; (got = ov_read_float (&vorbis, &pcm, 4096, nullptr)) != 0;)
        if (got > 0)
            keep ([&] (int c, long i) { return pcm[c][i]; }, got);
    for (auto& channel : audio.samples)
        channel.resize (std::min (channel.size(), size_t (ov_pcm_total (&vorbis, -1))));
    ov_clear (&vorbis);
    return audio;
}

std::vector<OggPage> OggPages (const std::vector<unsigned char>& bytes)
{
    std::vector<OggPage> pages;
    ogg_sync_state sync;
    ogg_sync_init (&sync);
    char* buffer = ogg_sync_buffer (&sync, long (bytes.size()));
    std::copy (bytes.begin(), bytes.end(), buffer);
    ogg_sync_wrote (&sync, long (bytes.size()));
    for (ogg_page page; ogg_sync_pageout (&sync, &page) > 0;)
        pages.push_back ({ size_t (page.header - sync.data), size_t (page.header_len + page.body_len), ogg_page_granulepos (&page) });
    ogg_sync_clear (&sync);
    return pages;
}

void SetOggChecksum (unsigned char* page, size_t size)
{
    const long headerBytes = 27 + page[26];
    ogg_page whole { page, headerBytes, page + headerBytes, long (size) - headerBytes };
    ogg_page_checksum_set (&whole);
}

void SetOggGranule (std::vector<unsigned char>& bytes, const OggPage& page, int64_t granule)
{
    for (size_t i = 0; i < 8; ++i)
        bytes.at (page.offset + 6 + i) = static_cast<unsigned char> (uint64_t (granule) >> (8 * i));
    SetOggChecksum (bytes.data() + page.offset, page.size);
}

void ExpectSamplesNear (const kul::AudioBuffer& buffer, const DecodedAudio& reference, long start, long count,
                        float tolerance, const std::string& what)
{
    for (int c = 0; c < reference.channels; ++c)
        for (long i = 0; i < count; ++i)
        {
            const long at = start + i;
            const float want = at >= 0 && at < reference.Frames() ? reference.samples[size_t (c)][size_t (at)] : 0.0f;
            const float got = buffer.GetChannel (unsigned (c))[i];

            if (std::abs (got - want) > tolerance)
                FAIL() << what << ": channel " << c << ", frame " << at << ": " << got << " instead of " << want;
        }
}

std::vector<unsigned char> ReadBytes (const kul::File& file)
{
    std::ifstream in (file.GetFullPathName(), std::ios::binary);
    return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
}

void WriteBytes (const kul::File& file, const std::vector<unsigned char>& bytes)
{
    std::ofstream out (file.GetFullPathName(), std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (bytes.data()), static_cast<std::streamsize> (bytes.size()));
}

int LargestMainDataBegin (const kul::File& mp3)
{
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new (nullptr, &error);
    int largest = -1;

    if (handle == nullptr || mpg123_open (handle, mp3.GetFullPathName().c_str()) != MPG123_OK)
    {
        ADD_FAILURE() << "libmpg123 cannot open " << mp3.GetFullPathName();
        mpg123_delete (handle);
        return largest;
    }

    for (int result; (result = mpg123_framebyframe_next (handle)) == MPG123_OK || result == MPG123_NEW_FORMAT;)
    {
        mpg123_frameinfo2 info {};
        unsigned long header = 0;
        unsigned char* body = nullptr;
        size_t bodyBytes = 0;

        // The side information follows the header and its CRC: 9 bits of it in MPEG-1, 8 in
        // MPEG-2 and 2.5.
        if (mpg123_info2 (handle, &info) != MPG123_OK || mpg123_framedata (handle, &header, &body, &bodyBytes) != MPG123_OK
            || info.layer != 3)
            continue;

        const size_t at = (info.flags & MPG123_CRC) != 0 ? 2 : 0;

        if (bodyBytes >= at + 2)
            largest = std::max (largest, info.version == MPG123_1_0 ? body[at] << 1 | body[at + 1] >> 7 : int (body[at]));
    }

    mpg123_close (handle);
    mpg123_delete (handle);
    return largest;
}

} // namespace audiofiletests
