#include "Wav.h"

#include <cstdint>

namespace kestrova::services {
namespace {

void appendLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string encodeWav(const short* samples, std::size_t count, int sampleRate)
{
    const auto dataBytes = static_cast<std::uint32_t>(count * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    appendLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    appendLe(out, 16, 4);                                         // fmt chunk size
    appendLe(out, 1, 2);                                          // PCM
    appendLe(out, 1, 2);                                          // mono
    appendLe(out, static_cast<std::uint32_t>(sampleRate), 4);     // samples per second
    appendLe(out, static_cast<std::uint32_t>(sampleRate * 2), 4); // bytes per second
    appendLe(out, 2, 2);                                          // bytes per frame
    appendLe(out, 16, 2);                                         // bits per sample
    out += "data";
    appendLe(out, dataBytes, 4);
    for (std::size_t i = 0; i < count; ++i)
        appendLe(out, static_cast<std::uint16_t>(samples[i]), 2);
    return out;
}

} // namespace kestrova::services
