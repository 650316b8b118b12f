#include "SessionState.h"

namespace kestrova::app {
namespace {

void freeText(Text& text)
{
    Text().swap(text);
}

} // namespace

SessionState& session()
{
    static SessionState state;
    return state;
}

void resetSession()
{
    session() = SessionState{};
}

void buildProgramObjects(SessionState& state, const ProgramObjectMakers& makers)
{
    if (makers.browserDoc)
        state.browserDoc = makers.browserDoc();
    if (makers.pngControl)
        state.pngControl = makers.pngControl();
    if (makers.pngLayer)
        state.pngLayer = makers.pngLayer();
    if (makers.memoryLibrary)
        state.memoryLibrary = makers.memoryLibrary();
}

void cleanUpSession(SessionState& state)
{
    for (Text* text :
         {&state.servicePath, &state.serviceNotice, &state.remoteValue1, &state.remoteValue8,
          &state.remoteValue9, &state.remoteValue10, &state.remoteValue11, &state.userName, &state.subject})
        freeText(*text);
    state.browserDoc.reset();
    for (Text* text : {&state.answeredMark, &state.correctAnswer, &state.questionTotal, &state.trueFalseMark,
                       &state.answerLetters, &state.explanation})
        freeText(*text);
    state.pngControl.reset();
    state.pngLayer.reset();
    for (Text* text :
         {&state.mode, &state.announcementText, &state.questionDisplayText, &state.examStartMinutes})
        freeText(*text);
    // The library loader goes last among the objects: what the others use may live in its image.
    state.memoryLibrary.reset();
    freeText(state.recoveryUserName);
}

} // namespace kestrova::app
