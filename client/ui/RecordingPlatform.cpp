#include "RecordingPlatform.h"

#include <algorithm>

namespace kestrova::ui {

RecordingPlatform::RecordingPlatform() : m_previous(setPlatform(this)) {}

RecordingPlatform::~RecordingPlatform()
{
    setPlatform(m_previous);
}

int RecordingPlatform::messageBox(const Text& text, int flags, const Text& caption)
{
    messages.push_back({text, flags, caption});
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (flags & kYesNo) ? kAnswerNo : kAnswerOk;
}

int RecordingPlatform::randomInt(int low, int high)
{
    if (high < low)
        std::swap(low, high);
    if (randomValues.empty())
        return low;
    const int value = randomValues.front();
    randomValues.pop_front();
    return std::clamp(value, low, high);
}

} // namespace kestrova::ui
