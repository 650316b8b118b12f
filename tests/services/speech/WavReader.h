// Reads back the WAV files the stack serves, to check them as a player would: RIFF layout, PCM
// format, and the samples themselves.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::testing {

struct WavFile
{
    std::string error; // empty when the file is a well-formed PCM WAV
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<std::int16_t> samples; // 16-bit files only

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / channels / sampleRate : 0.0; }
};

inline std::uint32_t readLe(std::string_view bytes, std::size_t pos, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
    return value;
}

inline WavFile readWav(std::string_view bytes)
{
    WavFile wav;
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        wav.error = "no RIFF/WAVE header";
        return wav;
    }
    if (readLe(bytes, 4, 4) != bytes.size() - 8) {
        wav.error = "RIFF size does not match the file";
        return wav;
    }
    bool haveFormat = false;
    for (std::size_t pos = 12; pos + 8 <= bytes.size();) {
        const auto id = bytes.substr(pos, 4);
        const auto size = readLe(bytes, pos + 4, 4);
        if (pos + 8 + size > bytes.size()) {
            wav.error = "chunk runs past the end";
            return wav;
        }
        if (id == "fmt " && size >= 16) {
            wav.format = static_cast<int>(readLe(bytes, pos + 8, 2));
            wav.channels = static_cast<int>(readLe(bytes, pos + 10, 2));
            wav.sampleRate = static_cast<int>(readLe(bytes, pos + 12, 4));
            const auto byteRate = readLe(bytes, pos + 16, 4);
            const auto blockAlign = readLe(bytes, pos + 20, 2);
            wav.bitsPerSample = static_cast<int>(readLe(bytes, pos + 22, 2));
            if (blockAlign != std::uint32_t(wav.channels * wav.bitsPerSample / 8) ||
                byteRate != std::uint32_t(wav.sampleRate) * blockAlign) {
                wav.error = "inconsistent fmt chunk";
                return wav;
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat || wav.format != 1 || wav.bitsPerSample != 16) {
                wav.error = "data before a 16-bit PCM fmt chunk";
                return wav;
            }
            for (std::size_t i = 0; i + 1 < size; i += 2)
                wav.samples.push_back(static_cast<std::int16_t>(readLe(bytes, pos + 8 + i, 2)));
            return wav;
        }
        pos += 8 + size + (size & 1);
    }
    wav.error = "no data chunk";
    return wav;
}

// Longest stretch of near-silence, in milliseconds.
inline double longestSilenceMs(const WavFile& wav, int threshold = 64)
{
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const auto s : wav.samples) {
        run = std::abs(int(s)) <= threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return wav.sampleRate > 0 ? 1000.0 * double(longest) / wav.sampleRate : 0.0;
}

inline int peakLevel(const WavFile& wav)
{
    int peak = 0;
    for (const auto s : wav.samples)
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}

} // namespace kestrova::testing
