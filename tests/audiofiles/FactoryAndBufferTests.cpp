#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/AudioFileFactory.h"
#include "audiofiles/AudioFileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace kul;

namespace audiofiletests
{
namespace
{
std::string quoted (const File& file)
{
    return "\"" + file.GetFullPathName() + "\"";
}

class LoadingTest : public AudioFileTest
{
protected:
    // Writes what libsndfile makes of the format under the name.
    File WriteSndfile (const std::string& name, int format, int channels, long frames)
    {
        const auto file = PathFor (name);
        WriteSignalWithSndfile (file, format, channels, frames, 44100);
        return file;
    }
};

class FactoryTest : public LoadingTest
{
protected:
    // The file written as one format and renamed, so that magic and extension disagree.
    File Renamed (const File& file, const std::string& name)
    {
        const auto target = PathFor (name);
        std::filesystem::rename (file.GetFullPathName(), target.GetFullPathName());
        return target;
    }
};

TEST_F (FactoryTest, MagicDecidesBeforeTheExtensionWhichIsComparedIgnoringCase)
{
    struct Case
    {
        File file;
        const char* detected;
        const char* formatName;
    };

    const auto wavBytes = WriteSndfile ("w.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 100);
    const auto aiffBytes = WriteSndfile ("a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 100);
    ASSERT_TRUE (EncodeWithLame (PathFor ("m.mp3"), "-b 128", 1, 5000, 44100));
    WriteSndfile ("f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 100);

    const Case cases[] = {
        { Renamed (aiffBytes, "aiff-named.wav"), "AIFF File", "AIFF File" },
        { Renamed (wavBytes, "wav-named.aif"), "WAV File", "WAV File" },
        { Renamed (PathFor ("m.mp3"), "SHOUTING.MP3"), "MP3 File", "MP3 File" },
        { Renamed (PathFor ("f.flac"), "lossless.FLAC"), "unknown", "FLAC File" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (DetectAudioFileFormat (c.file), c.detected) << c.file.GetFullPathName();
        const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (c.file));
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->GetFormatName(), c.formatName);
        EXPECT_EQ (reader->GetNumChannels(), 1u);
    }
}

TEST_F (FactoryTest, ShortFilesAreDetectedByTheirExtensionAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        { "x.WAV", "WAV File" }, { "x.Bw64", "WAV File" }, { "x.amb", "WAV File" }, { "x.uhj", "WAV File" },
        { "x.bwf", "WAV File" }, { "x.AIF", "AIFF File" }, { "x.aiff", "AIFF File" }, { "x.mp3", "MP3 File" },
        { "x.ogg", "unknown" }, { "RIFF", "unknown" },
    };

    for (const auto& [name, detected] : cases)
    {
        const auto file = PathFor (name);
        WriteBytes (file, { 'R', 'I', 'F' });
        EXPECT_EQ (DetectAudioFileFormat (file), detected) << name;
    }
}

TEST_F (FactoryTest, FailuresNameTheQuotedPath)
{
    EXPECT_EQ (AudioFileFactory (File ("")), nullptr);

    const auto missing = PathFor ("missing.wav");
    const auto noReader = PathFor ("noise.xyz");
    WriteBytes (noReader, std::vector<unsigned char> (5000, 0x42));
    const auto folder = PathFor ("folder.wav");
    std::filesystem::create_directory (folder.GetFullPathName());

    const std::pair<File, std::string> cases[] = {
        { missing, "File " + quoted (missing) + " does not exist." },
        { folder, "File " + quoted (folder) + " does not exist." },
        { noReader, "File " + quoted (noReader) + " is not a valid audio file." },
    };

    for (const auto& [file, message] : cases)
    {
        try
        {
            delete AudioFileFactory (file);
            ADD_FAILURE() << "no exception for " << file.GetFullPathName();
        }
        catch (const Exception& e)
        {
            EXPECT_EQ (e.GetMessage(), message);
        }
    }
}

// Every load below goes to this buffer, whose content must survive a failure.
class BufferLoadTest : public LoadingTest
{
protected:
    BufferLoadTest()
    {
        for (unsigned c = 0; c < buffer.GetNumChannels(); ++c)
            for (unsigned long i = 0; i < buffer.GetNumSamples(); ++i)
                buffer.GetChannel (c)[i] = float (c) + float (i) * 0.001f;
    }

    void ExpectUnchanged()
    {
        ASSERT_EQ (buffer.GetNumChannels(), 3u);
        ASSERT_EQ (buffer.GetNumSamples(), 7ul);
        for (unsigned c = 0; c < 3; ++c)
            for (unsigned long i = 0; i < 7; ++i)
                ASSERT_EQ (buffer.GetChannel (c)[i], float (c) + float (i) * 0.001f);
    }

    AudioBuffer buffer { 3, 7 };
};

TEST_F (BufferLoadTest, LoadsEveryFormatWholeOrOneChannel)
{
    struct Case
    {
        const char* name;
        int format; // 0: MPEG audio from lame
        float tolerance;
    };

    const Case cases[] = {
        { "wav.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0.0f },
        { "aiff.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0.0f },
        { "flac.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.0f },
        { "vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.02f },
        { "caf.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 0.0f },
        { "w64.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT, 0.0f },
        { "mpeg.mp3", 0, 2.0e-4f },
    };

    for (const auto& c : cases)
    {
        const auto file = PathFor (c.name);
        DecodedAudio reference;

        if (c.format == 0)
        {
            ASSERT_TRUE (EncodeWithLame (file, "-b 192", 2, 30000, 44100));
            reference = DecodeWithMpg123 (file);
        }
        else
        {
            WriteSignalWithSndfile (file, c.format, 2, 30000, 44100);
            reference = ReadFloatsWithSndfile (file);
        }

        ASSERT_TRUE (buffer.LoadFromAudioFile (file)) << c.name;
        ASSERT_EQ (buffer.GetNumChannels(), 2u);
        ASSERT_EQ (buffer.GetNumSamples(), static_cast<unsigned long> (reference.Frames())) << c.name;

        for (unsigned channel = 0; channel < 2; ++channel)
        {
            AudioBuffer one (4, 4);
            ASSERT_TRUE (one.LoadChannelFromAudioFile (file, channel)) << c.name;
            ASSERT_EQ (one.GetNumChannels(), 1u);
            ASSERT_EQ (one.GetNumSamples(), buffer.GetNumSamples());

            for (long i = 0; i < reference.Frames(); ++i)
            {
                const float want = reference.samples[channel][size_t (i)];
                ASSERT_NEAR (buffer.GetChannel (channel)[i], want, c.tolerance) << c.name << " frame " << i;
                ASSERT_EQ (one.GetChannel (0)[i], buffer.GetChannel (channel)[i]) << c.name << " frame " << i;
            }
        }
    }
}

TEST_F (BufferLoadTest, FailedLoadsLeaveTheBufferAsItWas)
{
    const auto stereo = WriteSndfile ("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 1000);
    const auto missing = PathFor ("missing.flac");
    const auto noise = PathFor ("noise.mp3");
    WriteBytes (noise, std::vector<unsigned char> (3000, 0x11));

    EXPECT_FALSE (buffer.LoadFromAudioFile (File ("")));
    ExpectUnchanged();
    EXPECT_FALSE (buffer.LoadChannelFromAudioFile (File (""), 0));
    ExpectUnchanged();

    const std::pair<std::function<bool()>, std::string> failures[] = {
        { [&] { return buffer.LoadChannelFromAudioFile (stereo, 2); }, "Invalid channel index 2 for file " + quoted (stereo) },
        { [&] { return buffer.LoadFromAudioFile (missing); }, "File " + quoted (missing) + " does not exist." },
        { [&] { return buffer.LoadChannelFromAudioFile (missing, 0); }, "File " + quoted (missing) + " does not exist." },
        { [&] { return buffer.LoadFromAudioFile (noise); }, "file " + quoted (noise) + " is not a valid MP3 file" },
    };

    for (const auto& [load, message] : failures)
    {
        try
        {
            load();
            ADD_FAILURE() << "no exception, expected " << message;
        }
        catch (const Exception& e)
        {
            EXPECT_EQ (e.GetMessage(), message);
        }

        ExpectUnchanged();
    }
}

TEST_F (AudioFileTest, SavedBufferReadsBackWithMatioColumnByColumn)
{
    const auto path = PathFor ("buffer.mat").GetFullPathName();

    AudioBuffer buffer (2, 3);
    for (unsigned c = 0; c < 2; ++c)
        for (unsigned long i = 0; i < 3; ++i)
            buffer.GetChannel (c)[i] = float (c * 10 + i) + 0.25f;

    { std::ofstream (path) << "an older file that the save replaces"; }
    ASSERT_TRUE (buffer.SaveToMatFile (File (path), "levels"));

    mat_t* mat = Mat_Open (path.c_str(), MAT_ACC_RDONLY);
    ASSERT_NE (mat, nullptr);
    matvar_t* variable = Mat_VarRead (mat, "levels");
    ASSERT_NE (variable, nullptr);
    ASSERT_EQ (variable->rank, 2);
    EXPECT_EQ (variable->dims[0], 2u);
    EXPECT_EQ (variable->dims[1], 3u);
    ASSERT_EQ (variable->data_type, MAT_T_DOUBLE);

    // Column by column: element (row c, column i) at i x 2 + c.
    const auto* data = static_cast<const double*> (variable->data);
    for (unsigned c = 0; c < 2; ++c)
        for (unsigned i = 0; i < 3; ++i)
            EXPECT_EQ (data[i * 2 + c], double (c * 10 + i) + 0.25);

    Mat_VarFree (variable);
    Mat_Close (mat);
}

} // namespace
} // namespace audiofiletests
