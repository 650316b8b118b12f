#include "media/Melody.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrova::services::media;

TEST(Melody, PitchNames)
{
    EXPECT_DOUBLE_EQ(pitchFrequency("A4"), 440.0);
    EXPECT_DOUBLE_EQ(pitchFrequency("A5"), 880.0);
    EXPECT_NEAR(pitchFrequency("C4"), 261.626, 0.001);
    EXPECT_DOUBLE_EQ(pitchFrequency("F#4"), pitchFrequency("Gb4"));
    EXPECT_NEAR(pitchFrequency("Bb3"), 233.082, 0.001);
    for (const auto bad : {"", "A", "H4", "A#", "Ax4", "A9", "a4", "A44"})
        EXPECT_EQ(pitchFrequency(bad), 0.0) << bad;
}

TEST(Melody, ReadsTracksNotesRestsAndChords)
{
    const auto parsed = parseScore("# a comment\n"
                                   "tempo 120\n"
                                   "track tune bell 0.5\n"
                                   "  A4:1 r:0.5 C#5:0.5 | A4+E5:2\n"
                                   "track low pad 0.2\n"
                                   "  A2:4\n");
    ASSERT_EQ(parsed.error, "");
    const auto& score = parsed.score;
    EXPECT_EQ(score.tempo, 120);
    EXPECT_EQ(score.beats, 4);
    ASSERT_EQ(score.tracks.size(), 2u);
    const auto& tune = score.tracks[0];
    EXPECT_EQ(tune.instrument, Instrument::Bell);
    ASSERT_EQ(tune.notes.size(), 3u); // the rest is a gap, not a note
    EXPECT_EQ(tune.notes[1].startBeat, 1.5);
    EXPECT_EQ(tune.notes[2].startBeat, 2);
    EXPECT_EQ(tune.notes[2].frequencies.size(), 2u);
    EXPECT_EQ(score.tracks[1].instrument, Instrument::Pad);
}

TEST(Melody, RefusesBadScoresNamingTheLine)
{
    struct Case
    {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"tempo 96\nA4:1\n", "line 2: notes before the first track"},
        {"tempo fast\n", "line 1: tempo needs one number from 20 to 400"},
        {"tempo 96\ntrack t drum 0.5\n", "line 2: unknown instrument 'drum' (bell, pluck or pad)"},
        {"tempo 96\ntrack t bell 2\n", "line 2: volume must be a number from 0 to 1"},
        {"tempo 96\ntrack t bell 0.5\nA4:1 H4:1\n", "line 3: unknown pitch 'H4'"},
        {"tempo 96\ntrack t bell 0.5\nA4+:1\n", "line 3: unknown pitch ''"},
        {"tempo 96\ntrack t bell 0.5\nA4 B4:1\n", "line 3: 'A4' is not <pitch>:<beats>"},
        {"tempo 96\ntrack t bell 0.5\nA4:0\n", "line 3: 'A4:0' is not <pitch>:<beats>"},
        {"track t bell 0.5\nA4:1\n", "line 2: no tempo"},
        {"tempo 96\ntrack t bell 0.5\nr:4\n", "line 3: track t has no notes"},
        {"tempo 96\ntrack a bell 0.5\nA4:4\ntrack b pad 0.5\nA3:3\n",
         "line 5: track b lasts 3.000000 beats, track a 4.000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseScore(c.text).error, c.error) << c.text;
}

TEST(Melody, RenderedLengthFollowsTempoAndTailsWrapToTheStart)
{
    // One bell note on the last beat of two: its ring runs past the end and must sound at the
    // start of the loop, not be cut off.
    const auto parsed = parseScore("tempo 60\ntrack t bell 1\nr:1 A4:1\n");
    ASSERT_EQ(parsed.error, "");
    const auto samples = renderScore(parsed.score, 8000);
    ASSERT_EQ(samples.size(), 16000u);

    const auto peakIn = [&](std::size_t from, std::size_t to) {
        int peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max(peak, std::abs(int(samples[i])));
        return peak;
    };
    EXPECT_GT(peakIn(8000, 16000), 20000); // the note itself, scaled to the fixed level
    EXPECT_LE(peakIn(8000, 16000), 32767 * 0.8 + 1);
    EXPECT_GT(peakIn(0, 2000), 1000); // its ring, wrapped round
    EXPECT_LT(peakIn(7000, 8000), 1); // silence before the note
}
