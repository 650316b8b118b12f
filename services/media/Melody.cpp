#include "Melody.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace kestrova::services::media {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const auto start = line.find_first_not_of(" \t\r", pos);
        if (start == std::string_view::npos)
            break;
        const auto end = line.find_first_of(" \t\r", start);
        out.push_back(
            line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        pos = end == std::string_view::npos ? line.size() : end;
    }
    return out;
}

bool readNumber(std::string_view text, double& value)
{
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && std::isfinite(value);
}

bool readInstrument(std::string_view name, Instrument& instrument)
{
    if (name == "bell")
        instrument = Instrument::Bell;
    else if (name == "pluck")
        instrument = Instrument::Pluck;
    else if (name == "pad")
        instrument = Instrument::Pad;
    else
        return false;
    return true;
}

// One sample of an instrument, t seconds into a note of `length` seconds at `frequency`.
double voiceSample(Instrument instrument, double frequency, double t, double length)
{
    const double phase = kTwoPi * frequency * t;
    const double attack = std::min(1.0, t / 0.005);
    const double release = t > length ? std::exp(-(t - length) / 0.1) : 1.0;
    switch (instrument) {
    case Instrument::Bell:
        return attack * release * std::exp(-t / 0.8) *
               (std::sin(phase) + 0.35 * std::exp(-t / 0.3) * std::sin(2 * phase) +
                0.12 * std::exp(-t / 0.15) * std::sin(3.01 * phase));
    case Instrument::Pluck:
        return attack * release * std::exp(-t / 0.5) *
               (std::sin(phase) + 0.5 * std::exp(-t / 0.2) * std::sin(2 * phase) +
                0.2 * std::exp(-t / 0.1) * std::sin(3 * phase));
    case Instrument::Pad: {
        const double swell = std::min(1.0, t / 0.3);
        const double fade = t > length ? std::exp(-(t - length) / 0.3) : 1.0;
        const double tremolo = 1.0 + 0.08 * std::sin(kTwoPi * 4.5 * t);
        return swell * fade * tremolo *
               (std::sin(phase) + std::sin(1.003 * phase) + 0.3 * std::sin(2 * phase)) / 2.3;
    }
    }
    return 0;
}

// How long an instrument keeps sounding after its note ends.
double ringSeconds(Instrument instrument)
{
    return instrument == Instrument::Pad ? 1.5 : 0.7;
}

} // namespace

double pitchFrequency(std::string_view name)
{
    static constexpr int kSemitone[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.size() < 2 || name.size() > 3 || name[0] < 'A' || name[0] > 'G')
        return 0;
    int semitone = kSemitone[name[0] - 'A'];
    if (name.size() == 3) {
        if (name[1] == '#')
            ++semitone;
        else if (name[1] == 'b')
            --semitone;
        else
            return 0;
    }
    const char octave = name.back();
    if (octave < '0' || octave > '8')
        return 0;
    const int midi = 12 * (octave - '0' + 1) + semitone;
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

ScoreResult parseScore(std::string_view text)
{
    ScoreResult result;
    auto& score = result.score;
    const auto fail = [&](int line, std::string message) {
        result.error = "line " + std::to_string(line) + ": " + std::move(message);
        return result;
    };

    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto newline = text.find('\n');
        const auto line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        const auto tokens = words(line);
        if (tokens.empty() ||
            tokens[0].front() == '#') // "#" also means sharp, so only whole lines are comments
            continue;

        if (tokens[0] == "tempo") {
            if (tokens.size() != 2 || !readNumber(tokens[1], score.tempo) || score.tempo < 20 ||
                score.tempo > 400)
                return fail(lineNumber, "tempo needs one number from 20 to 400");
            continue;
        }
        if (tokens[0] == "track") {
            Track track;
            if (tokens.size() != 4)
                return fail(lineNumber, "track needs a name, an instrument and a volume");
            track.name = tokens[1];
            if (!readInstrument(tokens[2], track.instrument))
                return fail(lineNumber,
                            "unknown instrument '" + std::string(tokens[2]) + "' (bell, pluck or pad)");
            if (!readNumber(tokens[3], track.volume) || track.volume < 0 || track.volume > 1)
                return fail(lineNumber, "volume must be a number from 0 to 1");
            score.tracks.push_back(std::move(track));
            continue;
        }
        if (score.tracks.empty())
            return fail(lineNumber, "notes before the first track");
        auto& track = score.tracks.back();
        for (const auto token : tokens) {
            if (token == "|")
                continue;
            const auto colon = token.find(':');
            double beats = 0;
            if (colon == std::string_view::npos || !readNumber(token.substr(colon + 1), beats) ||
                beats <= 0 || beats > 64)
                return fail(lineNumber, "'" + std::string(token) + "' is not <pitch>:<beats>");
            const auto pitches = token.substr(0, colon);
            if (pitches != "r") {
                Note note{{}, track.beats, beats};
                for (std::size_t pos = 0; pos <= pitches.size();) {
                    const auto plus = std::min(pitches.find('+', pos), pitches.size());
                    const auto name = pitches.substr(pos, plus - pos);
                    const double frequency = pitchFrequency(name);
                    if (frequency == 0)
                        return fail(lineNumber, "unknown pitch '" + std::string(name) + "'");
                    note.frequencies.push_back(frequency);
                    pos = plus + 1;
                }
                track.notes.push_back(std::move(note));
            }
            track.beats += beats;
        }
    }

    if (score.tempo == 0)
        return fail(lineNumber, "no tempo");
    if (score.tracks.empty())
        return fail(lineNumber, "no track");
    score.beats = score.tracks.front().beats;
    for (const auto& track : score.tracks) {
        if (track.notes.empty())
            return fail(lineNumber, "track " + track.name + " has no notes");
        if (std::abs(track.beats - score.beats) > 1e-9)
            return fail(lineNumber, "track " + track.name + " lasts " + std::to_string(track.beats) +
                                        " beats, track " + score.tracks.front().name + " " +
                                        std::to_string(score.beats));
    }
    return result;
}

std::vector<short> renderScore(const Score& score, int sampleRate)
{
    const double samplesPerBeat = sampleRate * 60.0 / score.tempo;
    const auto total = static_cast<std::size_t>(std::llround(score.beats * samplesPerBeat));
    std::vector<double> mix(total, 0.0);
    if (total == 0)
        return {};

    for (const auto& track : score.tracks) {
        for (const auto& note : track.notes) {
            const auto start = static_cast<std::size_t>(std::llround(note.startBeat * samplesPerBeat));
            const double length = note.beats * 60.0 / score.tempo;
            const auto count =
                static_cast<std::size_t>((length + ringSeconds(track.instrument)) * sampleRate);
            for (const double frequency : note.frequencies) {
                for (std::size_t i = 0; i < count; ++i) {
                    const double t = double(i) / sampleRate;
                    mix[(start + i) % total] +=
                        track.volume * voiceSample(track.instrument, frequency, t, length);
                }
            }
        }
    }

    double peak = 0;
    for (const double v : mix)
        peak = std::max(peak, std::abs(v));
    const double scale = peak > 0 ? 0.8 * 32767.0 / peak : 0.0;
    std::vector<short> samples(total);
    std::transform(mix.begin(), mix.end(), samples.begin(),
                   [scale](double v) { return static_cast<short>(std::lround(v * scale)); });
    return samples;
}

} // namespace kestrova::services::media
