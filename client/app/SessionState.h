// The program-wide values through which all windows talk to each other, in their declaration
// order. Texts are GBK byte strings; every text starts empty, every integer 0. The four
// program-wide objects are created at start and destroyed by the exit clean-up.
#pragma once

#include <cstdint>
#include <memory>
#include <net/TextOps.h>

namespace kestrova::app {

using Text = net::Text;

// Base of the program-wide objects (browser document, PNG control, PNG layer window, in-memory
// library loader), so the start-up can hold and destroy them in a fixed order.
class ProgramObject
{
public:
    virtual ~ProgramObject() = default;
};

struct SessionState
{
    Text servicePath;                             // 1
    Text serviceNotice;                           // 2
    Text remoteValue1;                            // 3
    Text remoteValue8;                            // 4
    Text remoteValue9;                            // 5
    Text remoteValue10;                           // 6
    Text remoteValue11;                           // 7
    Text userName;                                // 8
    Text subject;                                 // 9: "科目一" or "科目四"
    std::unique_ptr<ProgramObject> browserDoc;    // 10
    std::int32_t randomBase = 0;                  // 11
    std::int32_t multiAnswer = 0;                 // 12
    Text answeredMark;                            // 13
    Text correctAnswer;                           // 14
    Text questionTotal;                           // 15
    std::int32_t questionNumber = 0;              // 16
    std::int32_t rightCount = 0;                  // 17
    std::int32_t wrongCount = 0;                  // 18
    Text trueFalseMark;                           // 19
    Text answerLetters;                           // 20
    Text explanation;                             // 21
    std::int32_t examMinutes = 0;                 // 22
    std::int32_t examSeconds = 0;                 // 23
    std::unique_ptr<ProgramObject> pngControl;    // 24
    std::unique_ptr<ProgramObject> pngLayer;      // 25
    Text mode;                                    // 26: "随机", "顺序" or "考试"
    Text announcementText;                        // 27
    std::int32_t indexBase = 0;                   // 28
    Text questionDisplayText;                     // 29
    Text examStartMinutes;                        // 30
    std::unique_ptr<ProgramObject> memoryLibrary; // 31
    Text recoveryUserName;                        // 32
};

// The one SessionState of the program.
SessionState& session();
// Puts every field back to its starting value (tests).
void resetSession();

// Makers of the program-wide objects; a maker left empty leaves its field empty.
struct ProgramObjectMakers
{
    std::unique_ptr<ProgramObject> (*browserDoc)() = nullptr;
    std::unique_ptr<ProgramObject> (*pngControl)() = nullptr;
    std::unique_ptr<ProgramObject> (*pngLayer)() = nullptr;
    std::unique_ptr<ProgramObject> (*memoryLibrary)() = nullptr;
};

// Builds the program-wide objects in their order: browserDoc, pngControl, pngLayer, memoryLibrary.
void buildProgramObjects(SessionState& state, const ProgramObjectMakers& makers);

// The exit clean-up: frees texts 1 to 9, destroys browserDoc, frees answeredMark, correctAnswer,
// questionTotal, trueFalseMark, answerLetters and explanation, destroys pngControl and pngLayer,
// frees mode, announcementText, questionDisplayText and examStartMinutes, destroys memoryLibrary,
// and frees recoveryUserName last.
void cleanUpSession(SessionState& state);

} // namespace kestrova::app
