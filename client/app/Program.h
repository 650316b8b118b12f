// The program entry: builds the program-wide objects, registers the exit clean-up, runs the
// modules' set-ups, opens LoginWindow and runs the message loop.
#pragma once

#include "SessionState.h"
#include "WindowFlow.h"

#include <functional>
#include <vector>

namespace kestrova::app {

struct ProgramParts
{
    WindowFactories windows;
    ProgramObjectMakers objects;
    // Set-ups of the modules that have one, run in order before the first window opens.
    std::vector<std::function<void()>> moduleSetUps;
};

// Runs the program; returns when the message loop ends.
//
// For screenshots and manual checks, KESTROVA_OPEN_WINDOW=<name> opens that window of the
// catalogue ("login", "subject", "exam", ...) instead of the normal path, and
// KESTROVA_SCREENSHOT=<file.png> saves a picture of it once it has settled, then ends.
int runProgram(int argc, char** argv, ProgramParts parts);

// The event pump the HTTP client calls while the UI thread waits for a transfer.
void pumpUiEvents();

} // namespace kestrova::app
