// The background music is not a recording: it is a score of our own (assets/music/theme.score),
// read here and rendered to samples when the stack starts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrova::services::media {

enum class Instrument
{
    Bell,  // struck, long ring: the tune
    Pluck, // short and round: the bass
    Pad,   // slow swell, held: the chords
};

struct Note
{
    std::vector<double> frequencies; // Hz; several for a chord
    double startBeat = 0;
    double beats = 0;
};

struct Track
{
    std::string name;
    Instrument instrument = Instrument::Bell;
    double volume = 0;
    std::vector<Note> notes; // rests leave gaps between them
    double beats = 0;        // length including rests
};

struct Score
{
    double tempo = 0; // beats per minute
    std::vector<Track> tracks;
    double beats = 0; // every track lasts this long
};

struct ScoreResult
{
    Score score;
    std::string error; // "line N: ..." when the text is not a valid score; empty otherwise
};

// Reads the text format documented at the top of assets/music/theme.score.
ScoreResult parseScore(std::string_view text);

// Frequency of a pitch name such as "A4", "F#5" or "Bb3"; 0 when it is not one.
double pitchFrequency(std::string_view name);

// Mixes every track into 16-bit mono samples, exactly score.beats long. Sound that rings past the
// end is added at the start, so the result loops without a seam. Peaks are scaled to a fixed
// level below full scale.
std::vector<short> renderScore(const Score& score, int sampleRate);

} // namespace kestrova::services::media
