#include "TestFiles.h"

#include "audiofiles/WavFileReader.h"

#include <bit>

using namespace kul;
using namespace audiofiletests;

namespace
{
/** Frames of 16-bit little-endian samples counting up from 1, channel by channel. */
Bytes samples16 (int frames, int channels)
{
    Bytes b;
    for (int i = 1; i <= frames * channels; ++i)
        b.U16 (static_cast<uint32_t> (i) * 256);
    return b;
}

Bytes wav (const Bytes& format, const Bytes& samples)
{
    return Riff (Bytes().Chunk ("fmt ", format).Chunk ("data", samples));
}

class WavReader : public AudioFileTest
{
protected:
    std::unique_ptr<WavFileReader> Open (const Bytes& bytes) { return OpenWith<WavFileReader> (bytes, "t.wav"); }
};

TEST_F (WavReader, RefusesMalformedHeadersWithItsErrorText)
{
    Bytes shortFormat = WavFormat (1, 1, 8000, 16);
    shortFormat.data.pop_back();
    Bytes noFrameSize = WavFormat (1, 1, 8000, 16);
    noFrameSize.data[8] = noFrameSize.data[9] = noFrameSize.data[10] = noFrameSize.data[11] = 0; // byte rate 0
    noFrameSize.data[14] = noFrameSize.data[15] = 0xFF;                                         // bits "-1"
    Bytes noRate = WavFormat (1, 1, 0, 16);
    noRate.data[14] = noRate.data[15] = 0xFF;

    const struct { const char* name; Bytes file; } cases[] = {
        { "not RIFF", Form ("WAVE", Bytes()) },
        { "not WAVE", Bytes().Id ("RIFF").U32 (4).Id ("AVI ") },
        { "RIFF size 4", Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)), 4) },
        { "fmt of 15 bytes", wav (shortFormat, samples16 (2, 1)) },
        { "no channels", wav (WavFormat (1, 0, 8000, 16), samples16 (2, 1)) },
        { "negative channels", wav (WavFormat (1, -1, 8000, 16), samples16 (2, 1)) },
        { "0 bits", wav (WavFormat (1, 1, 8000, 0), samples16 (2, 1)) },
        { "width from a byte rate of 0", wav (noFrameSize, samples16 (2, 1)) },
        { "width from a byte rate at rate 0", wav (noRate, samples16 (2, 1)) },
        { "RF64 without ds64", Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)), 0xFFFFFFFF, "RF64") },
        { "ds64 of 27 bytes", Riff (Bytes().Chunk ("ds64", Bytes().Zeros (27)).Chunk ("fmt ", WavFormat (1, 1, 8000, 16)),
                                    0xFFFFFFFF, "BW64") },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        ExpectRefused<WavFileReader> (Write (test.file, "bad.wav"), "WAV");
    }
}

TEST_F (WavReader, AudioItCannotReadGivesAValidReaderOfLengthZeroThatSaysWhy)
{
    Bytes shortExtensible = ExtensibleFormat (1, 8000, 16, 1, 0, 0x10, waveGuidTail);
    shortExtensible.data.pop_back();
    // The ds64 sizes (RIFF, data, sample count, no table) promise audio that no "data" chunk holds.
    Bytes ds64;
    ds64.U64 (1000).U64 (16).U64 (8).U32 (0);

    const struct { const char* name; Bytes file; const char* why; } cases[] = {
        { "ADPCM", wav (WavFormat (2, 1, 8000, 4), samples16 (8, 1)), "its sample format (tag 2, 4 bits) is not read" },
        { "extensible of 39 bytes", wav (shortExtensible, samples16 (8, 1)), "its sample format (tag 65534, 16 bits) is not read" },
        { "unknown sub-format", wav (ExtensibleFormat (1, 8000, 16, 2, 0, 0x10, waveGuidTail), samples16 (8, 1)),
          "its sample format (tag 2, 16 bits) is not read" },
        { "24-bit float", wav (WavFormat (3, 1, 8000, 24), samples16 (8, 1)), "its sample format (tag 3, 24 bits) is not read" },
        { "40-bit integers", wav (WavFormat (1, 1, 8000, 40), samples16 (8, 1)), "its sample format (tag 1, 40 bits) is not read" },
        { "zero padding before data", Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Zeros (8).Chunk ("data", samples16 (8, 1))),
          "no audio data was found" },
        { "RF64 without data", Riff (Bytes().Chunk ("ds64", ds64).Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("LIST", samples16 (8, 1)),
                                     0xFFFFFFFF, "RF64"),
          "no audio data was found" },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        const auto reader = Open (test.file);
        EXPECT_EQ (reader->GetSampleRate(), 8000);
        EXPECT_EQ (reader->GetLengthInSamples(), 0);
        EXPECT_EQ (ReadAll (*reader, 3, 0), std::vector<float> (3, 0.0f));
        EXPECT_EQ (reader->DescribeUnreadableAudio(), test.why);
    }
}

TEST_F (WavReader, ReadsEveryLayoutAsTheSameSamples)
{
    Bytes eightBits, twelveBits, floats, doubles, oddChunk;
    for (int i = 1; i <= 4; ++i)
    {
        eightBits.U8 (static_cast<uint32_t> (128 + i));
        twelveBits.U16 (static_cast<uint32_t> (i) * 256);
        floats.U32 (std::bit_cast<uint32_t> (static_cast<float> (i) / 128.0f));
        doubles.U64 (std::bit_cast<uint64_t> (static_cast<double> (i) / 128.0));
    }

    const struct { const char* name; Bytes file; bool isFloat; } cases[] = {
        { "16 bits", wav (WavFormat (1, 1, 8000, 16), samples16 (4, 1)), false },
        { "unsigned 8 bits", wav (WavFormat (1, 1, 8000, 8), eightBits), false },
        { "12 bits in 2 bytes", wav (WavFormat (1, 1, 8000, 12), twelveBits), false },
        { "32-bit float", wav (WavFormat (3, 1, 8000, 32), floats), true },
        { "64-bit float", wav (WavFormat (3, 1, 8000, 64), doubles), true },
        { "extensible float", wav (ExtensibleFormat (1, 8000, 32, 3, 0, 0x10, waveGuidTail), floats), true },
        { "odd chunk before data", Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("LIST", Bytes().Text ("abc"))
                                             .Chunk ("data", samples16 (4, 1))), false },
        { "empty chunk before data", Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("junk", Bytes())
                                               .Chunk ("data", samples16 (4, 1))), false },
        { "data before fmt", Riff (Bytes().Chunk ("data", samples16 (4, 1)).Chunk ("fmt ", WavFormat (1, 1, 8000, 16))), false },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        const auto reader = Open (test.file);
        EXPECT_EQ (reader->IsFloatingPoint(), test.isFloat);
        EXPECT_EQ (ReadAll (*reader, 4), (std::vector<float> { 1 / 128.0f, 2 / 128.0f, 3 / 128.0f, 4 / 128.0f }));
    }
}

TEST_F (WavReader, FrameCountIsWhatTheDataChunkInTheFileHolds)
{
    const auto reader = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 2, 8000, 16)).Chunk ("data", samples16 (5, 2), 0x80000000)));
    EXPECT_EQ (reader->GetLengthInSamples(), 5);
    const auto read = ReadAll (*reader, 5, 4);
    EXPECT_EQ (read[0], 9 / 128.0f);
    EXPECT_EQ (read[1], 0.0f);
}

TEST_F (WavReader, AmbisonicBFormatIsIntegerPcm)
{
    const auto reader = Open (wav (ExtensibleFormat (1, 8000, 16, 1, 0x0721, 0x11D3, bFormatGuidTail), samples16 (4, 1)));
    EXPECT_TRUE (reader->IsAmbisonicBFormat());
    EXPECT_FALSE (reader->IsFloatingPoint());
    EXPECT_EQ (reader->GetLengthInSamples(), 4);
}

Bytes bext (const std::string& codingHistory)
{
    Bytes b;
    b.Text (std::string ("desc\0ription", 12)).Zeros (244).Text ("orig").Zeros (28).Text ("ref").Zeros (29)
        .Text ("2026-12-07").Text ("08:15:00").U32 (0x89ABCDEF).U32 (1).U16 (2).U8 (0).U8 (255).Zeros (62)
        .Zeros (190).Text (codingHistory);
    return b;
}

TEST_F (WavReader, BroadcastMetadataKeepsEveryByte)
{
    for (const std::string history : { "", "A=PCM\r\n\0" })
    {
        const auto reader = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("bext", bext (history))
                                            .Chunk ("data", samples16 (4, 1))));
        const auto& metadata = reader->GetBroadcastMetadata();
        ASSERT_TRUE (reader->HasBroadcastMetadata());
        const StringArray keys { metadata.GetKeys() };
        EXPECT_EQ (keys.JoinIntoString (","), "bwav description,bwav originator,bwav originator ref,bwav origination date,"
                                              "bwav origination time,bwav time reference,bwav smpte umid,bwav bwf version,"
                                              "bwav coding history");
        const auto& values = metadata.GetValues();
        EXPECT_EQ (values[0], std::string ("desc\0ription", 12) + std::string (244, '\0'));
        EXPECT_EQ (values[1], "orig" + std::string (28, '\0'));
        EXPECT_EQ (values[3], "2026-12-07");
        EXPECT_EQ (values[5], std::to_string ((1ull << 32) + 0x89ABCDEF));
        EXPECT_EQ (values[6], "0255" + std::string (62, '0'));
        EXPECT_EQ (values[7], "2");
        EXPECT_EQ (values[8], history);
    }

    Bytes shortBext = bext ("");
    shortBext.data.pop_back();
    EXPECT_FALSE (Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("bext", shortBext)))->HasBroadcastMetadata());
}

Bytes chnaEntry (uint16_t index, const std::string& uid, const std::string& track, const std::string& pack)
{
    Bytes b;
    return b.U16 (index).Text (uid).Zeros (12 - uid.size()).Text (track).Zeros (14 - track.size())
        .Text (pack).Zeros (11 - pack.size()).Zeros (1);
}

TEST_F (WavReader, ChnaEntriesFollowTheChunkSize)
{
    Bytes entries;
    entries.U16 (2).U16 (7).Append (chnaEntry (1, "ATU_00000001", "AT_00010001_01", "AP_00010002"))
        .Append (chnaEntry (2, "", "", "AP_00010002"));
    Bytes countsOnly = entries;
    countsOnly.data.resize (43);

    const auto reader = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("chna", entries)));
    const auto& chna = reader->GetChna();
    EXPECT_EQ (chna.numTracks, 2);
    EXPECT_EQ (chna.numUIDs, 7);
    ASSERT_EQ (chna.trackIndices.Size(), 2u);
    EXPECT_EQ (chna.trackIndices[1], 2);
    EXPECT_EQ (chna.audioTrackUIDs[0], "ATU_00000001");
    EXPECT_EQ (chna.audioTrackUIDs[1], "");
    EXPECT_EQ (chna.trackFormatReferences[0], "AT_00010001_01");
    EXPECT_EQ (chna.packFormatReferences[1], "AP_00010002");

    const auto shortReader = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("chna", countsOnly)));
    EXPECT_EQ (shortReader->GetChna().numUIDs, 7);
    EXPECT_TRUE (shortReader->GetChna().audioTrackUIDs.empty());
}

TEST_F (WavReader, Bw64MetadataAfterTheAudioIsRead)
{
    const Bytes audio = samples16 (3, 1);
    Bytes ds64;
    ds64.U64 (0).U64 (audio.data.size()).U64 (3).U32 (0);

    Bytes chna;
    chna.U16 (1).U16 (1).Append (chnaEntry (1, "ATU_00000001", "AT_00010001_01", "AP_00010001"));
    const std::string xml = "<ebuCoreMain/>";

    Bytes file = Riff (Bytes().Chunk ("ds64", ds64).Chunk ("fmt ", WavFormat (1, 1, 48000, 16)).Chunk ("data", audio, 0xFFFFFFFF)
                           .Chunk ("chna", chna).Chunk ("axml", Bytes().Text (xml)),
                       0xFFFFFFFF, "BW64");
    // The ds64 RIFF size: the whole file less the first 8 bytes.
    for (int i = 0; i < 8; ++i)
        file.data[20 + i] = static_cast<unsigned char> ((file.data.size() - 8) >> (8 * i));

    const auto reader = Open (file);
    EXPECT_TRUE (reader->IsRF64());
    EXPECT_EQ (reader->GetLengthInSamples(), 3);
    EXPECT_EQ (reader->GetAxmlText(), xml);
    EXPECT_EQ (reader->GetChna().audioTrackUIDs.size(), 1u);
    EXPECT_EQ (ReadAll (*reader, 4, -1), (std::vector<float> { 0.0f, 1 / 128.0f, 2 / 128.0f, 3 / 128.0f }));
}

TEST_F (WavReader, MetadataChunksLongerThanTheFileKeepWhatIsThere)
{
    const auto axml = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("axml", Bytes().Text ("<a/>"), 0x7FFFFFF0)));
    EXPECT_EQ (axml->GetAxmlText(), "<a/>");

    Bytes entry;
    entry.U16 (1).U16 (1).Append (chnaEntry (1, "ATU_00000001", "AT_00010001_01", "AP_00010001"));
    const auto chna = Open (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("chna", entry, 0xFFFFFFF0)));
    EXPECT_EQ (chna->GetChna().audioTrackUIDs.size(), 1u);
}
} // namespace
