// 16-bit mono PCM samples as a WAV file body (speech answers and the music theme).
#pragma once

#include <cstddef>
#include <string>

namespace kestrova::services {

std::string encodeWav(const short* samples, std::size_t count, int sampleRate);

} // namespace kestrova::services
