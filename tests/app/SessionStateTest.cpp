#include <app/SessionState.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrova::app {
namespace {

TEST(SessionStateTest, EveryFieldStartsEmptyOrZero)
{
    const SessionState state;
    for (const Text* text : {&state.servicePath,      &state.serviceNotice,
                             &state.remoteValue1,     &state.remoteValue8,
                             &state.remoteValue9,     &state.remoteValue10,
                             &state.remoteValue11,    &state.userName,
                             &state.subject,          &state.answeredMark,
                             &state.correctAnswer,    &state.questionTotal,
                             &state.trueFalseMark,    &state.answerLetters,
                             &state.explanation,      &state.mode,
                             &state.announcementText, &state.questionDisplayText,
                             &state.examStartMinutes, &state.recoveryUserName})
        EXPECT_TRUE(text->empty());
    for (std::int32_t value : {state.randomBase, state.multiAnswer, state.questionNumber, state.rightCount,
                               state.wrongCount, state.examMinutes, state.examSeconds, state.indexBase})
        EXPECT_EQ(value, 0);
    EXPECT_FALSE(state.browserDoc || state.pngControl || state.pngLayer || state.memoryLibrary);
}

// Records the order in which the program-wide objects go, and what the session still held then.
std::vector<std::string> g_destroyed;

class NamedObject final : public ProgramObject
{
public:
    NamedObject(std::string name, const SessionState& state) : m_name(std::move(name)), m_state(state) {}
    ~NamedObject() override
    {
        // Which texts are already freed when this object goes: 1-9 before browserDoc, the current
        // question's before the PNG objects, the rest before the library loader.
        g_destroyed.push_back(m_name + (m_state.userName.empty() ? " after-login-texts" : "") +
                              (m_state.explanation.empty() ? " after-question-texts" : "") +
                              (m_state.mode.empty() ? " after-mode-texts" : "") +
                              (m_state.recoveryUserName.empty() ? " after-recovery-name" : ""));
    }

private:
    std::string m_name;
    const SessionState& m_state;
};

TEST(SessionStateTest, TheExitCleanUpGoesInItsOrder)
{
    g_destroyed.clear();
    SessionState state;
    state.browserDoc = std::make_unique<NamedObject>("browserDoc", state);
    state.pngControl = std::make_unique<NamedObject>("pngControl", state);
    state.pngLayer = std::make_unique<NamedObject>("pngLayer", state);
    state.memoryLibrary = std::make_unique<NamedObject>("memoryLibrary", state);
    state.userName = "u";
    state.explanation = "e";
    state.mode = "m";
    state.recoveryUserName = "r";
    state.rightCount = 7;

    cleanUpSession(state);

    EXPECT_EQ(g_destroyed, (std::vector<std::string>{
                               "browserDoc after-login-texts",
                               "pngControl after-login-texts after-question-texts",
                               "pngLayer after-login-texts after-question-texts",
                               "memoryLibrary after-login-texts after-question-texts after-mode-texts",
                           }));
    EXPECT_TRUE(state.recoveryUserName.empty());
    EXPECT_FALSE(state.browserDoc || state.pngControl || state.pngLayer || state.memoryLibrary);
}

TEST(SessionStateTest, ProgramObjectsAreBuiltFromTheirMakers)
{
    SessionState state;
    ProgramObjectMakers makers;
    makers.pngControl = [] { return std::unique_ptr<ProgramObject>(std::make_unique<ProgramObject>()); };
    buildProgramObjects(state, makers);
    EXPECT_TRUE(state.pngControl);
    EXPECT_FALSE(state.browserDoc);
}

} // namespace
} // namespace kestrova::app
