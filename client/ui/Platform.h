// What the windows ask of the desktop beyond their own controls: message boxes, the clipboard,
// opening addresses, sounds, the clock, the random generator, and ending the program. Every call
// goes through one replaceable Platform object so that tests can record and answer these instead
// of blocking on a dialog or ending the test process.
#pragma once

#include "Boundary.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrova::ui {

// Message box flags and results, as the windows use them.
inline constexpr int kIconInformation = 64;
inline constexpr int kIconExclamation = 48;
inline constexpr int kYesNo = 4;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

struct LocalTime
{
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Platform
{
public:
    virtual ~Platform() = default;

    // Shows text with an icon (kIconInformation or kIconExclamation) and OK, or Yes/No when flags
    // hold kYesNo; returns the button pressed (kAnswerOk, kAnswerYes, kAnswerNo).
    virtual int messageBox(const Text& text, int flags, const Text& caption) = 0;
    virtual void setClipboardText(const Text& text) = 0;
    virtual Text clipboardText() = 0;
    // Hands an address to the desktop's handler for it; returns at once.
    virtual void openUrl(const Text& url) = 0;
    // Plays a WAV file's bytes once; returns at once.
    virtual void playWav(const std::string& bytes) = 0;
    virtual LocalTime now() = 0;
    virtual void seedRandom(std::uint32_t seed) = 0;
    // A random integer from low to high inclusive.
    virtual int randomInt(int low, int high) = 0;
    // Runs the exit clean-up, then ends the process with code. The desktop never returns from
    // these two; a test platform records the call and returns, so callers return right after.
    virtual void exitProgram(int code) = 0;
    // Ends this process at once with code 0: no clean-up, no further handlers.
    virtual void terminateOwnProcess() = 0;
};

// The platform in use: the real desktop unless a test installed another.
Platform& platform();
// Installs p (nullptr restores the real desktop); returns the previous one.
Platform* setPlatform(Platform* p);

// Short names for the calls the windows make most.
inline int messageBox(const Text& text, int flags, const Text& caption)
{
    return platform().messageBox(text, flags, caption);
}
// Seeds the random generator from the clock.
void randomize();

// The exit clean-up: registered once at start, run by exitProgram before the process ends.
void registerExitCleanUp(std::function<void()> cleanUp);
void runExitCleanUp();

// Processes the pending window events of the UI thread.
void processEvents();
// Waits ms milliseconds while window events go on being processed.
void waitProcessing(int ms);
// Sleeps without processing events.
void sleepMs(int ms);
// Runs routine on a new detached thread.
void startThread(std::function<void()> routine);
// Hands work from any thread to the UI thread (background threads never touch widgets).
void runOnUiThread(std::function<void()> work);

// The file name (no folder) of this program's executable, as the system knows it.
std::string ownExecutableFileName();

} // namespace kestrova::ui
