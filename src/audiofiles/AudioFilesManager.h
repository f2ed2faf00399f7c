#pragma once

#include <cstdint>
#include <string>

namespace kul
{

/** The description of an opened audio file, filled by the parser of a concrete reader. */
class AudioFilesManager
{
public:
    AudioFilesManager() = default;
    AudioFilesManager (const AudioFilesManager&) = delete;
    AudioFilesManager& operator= (const AudioFilesManager&) = delete;

    /** The reader's extension with its leading "." (empty for the platform reader). */
    virtual std::string GetFileExtension() const = 0;
    virtual ~AudioFilesManager() = default;

    uint32_t GetNumChannels() const noexcept { return numChannels; }

    /** The length in sample frames. */
    int64_t GetLengthInSamples() const noexcept { return numFrames; }

    double GetSampleRate() const noexcept { return sampleRate; }
    uint32_t GetBitsPerSample() const noexcept { return bitsPerSample; }
    bool IsFloatingPoint() const noexcept { return isFloatingPoint; }
    const std::string& GetFormatName() const noexcept { return formatName; }
    bool IsRF64() const noexcept { return isRF64; }
    bool HasBroadcastMetadata() const noexcept { return hasBroadcastMetadata; }

    /** A known format with a rate, a sample width and channels. */
    bool IsValid() const noexcept
    {
        return formatName != "unknown" && sampleRate > 0 && bitsPerSample != 0 && numChannels != 0;
    }

protected:
    double sampleRate = 0;
    uint32_t bitsPerSample = 0;
    int64_t numFrames = 0;
    uint32_t numChannels = 0;
    bool isFloatingPoint = false;
    std::string formatName = "unknown";
    bool isRF64 = false;
    bool hasBroadcastMetadata = false;
};

} // namespace kul
