// A Platform for tests: records every message box, address, clipboard text, sound, exit and
// termination, answers message boxes from a script, and gives a fixed clock and scripted random
// numbers. Nothing it does blocks or ends the process.
#pragma once

#include "Platform.h"

#include <deque>
#include <vector>

namespace kestrova::ui {

struct RecordedMessage
{
    Text text;
    int flags = 0;
    Text caption;
};

class RecordingPlatform final : public Platform
{
public:
    RecordingPlatform();
    ~RecordingPlatform() override;
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

    // Answers for the next message boxes, in order; when none is left a Yes/No box is answered No
    // (the answer that changes nothing) and an OK box OK.
    std::deque<int> answers;
    // Values for the next randomInt calls (clamped into the asked range); when none is left the
    // low end of the range.
    std::deque<int> randomValues;
    LocalTime clock{2013, 8, 16, 10, 0, 0};

    std::vector<RecordedMessage> messages;
    std::vector<Text> openedUrls;
    std::vector<std::string> playedSounds;
    std::vector<int> exitCodes;
    std::vector<std::uint32_t> seeds;
    int terminations = 0;
    Text clipboard;

    int messageBox(const Text& text, int flags, const Text& caption) override;
    void setClipboardText(const Text& text) override { clipboard = text; }
    Text clipboardText() override { return clipboard; }
    void openUrl(const Text& url) override { openedUrls.push_back(url); }
    void playWav(const std::string& bytes) override { playedSounds.push_back(bytes); }
    LocalTime now() override { return clock; }
    void seedRandom(std::uint32_t seed) override { seeds.push_back(seed); }
    int randomInt(int low, int high) override;
    void exitProgram(int code) override { exitCodes.push_back(code); }
    void terminateOwnProcess() override { ++terminations; }

private:
    Platform* m_previous = nullptr;
};

} // namespace kestrova::ui
