#include "SpeechEngine.h"

#include "SpeechText.h"

#include <algorithm>
#include <cstdint>
#include <espeak-ng/speak_lib.h>
#include <exception>
#include <vector>

namespace kestrova::services::speech {
namespace {

using Samples = std::vector<short>;

// espeak-ng hands each synthesised block to this callback; the Samples to fill travel as the
// user data of the synthesis call.
int collectSamples(short* wav, int count, espeak_EVENT* events)
{
    if (wav == nullptr || count <= 0 || events == nullptr || events->user_data == nullptr)
        return 0;
    auto* sink = static_cast<Samples*>(events->user_data);
    sink->insert(sink->end(), wav, wav + count);
    return 0;
}

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

SpeechEngine& SpeechEngine::instance()
{
    static SpeechEngine engine;
    return engine;
}

SpeechEngine::~SpeechEngine() = default;

std::future<Synthesis> SpeechEngine::synthesize(std::string utf8, SynthesisSettings settings,
                                                std::size_t maxPending)
{
    std::promise<Synthesis> promise;
    auto future = promise.get_future();
    {
        std::scoped_lock lock(m_mutex);
        if (m_jobs.size() >= maxPending) {
            promise.set_value(Synthesis{{}, "语音合成繁忙，请稍后再试"});
            return future;
        }
        if (!m_worker.joinable())
            m_worker = std::jthread([this](std::stop_token stop) { run(stop); });
        m_jobs.push_back(Job{std::move(utf8), std::move(settings), std::move(promise)});
    }
    m_wake.notify_one();
    return future;
}

void SpeechEngine::run(std::stop_token stop)
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, stop, [this] { return !m_jobs.empty(); });
            if (stop.stop_requested())
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        Synthesis result;
        try {
            result = process(job.text, job.settings);
        } catch (const std::exception& e) { // e.g. out of memory: the waiting request still gets an answer
            result = Synthesis{{}, std::string("语音合成失败：") + e.what()};
        }
        job.done.set_value(std::move(result));
    }

    std::deque<Job> left;
    {
        std::scoped_lock lock(m_mutex);
        left.swap(m_jobs);
    }
    for (auto& job : left)
        job.done.set_value(Synthesis{{}, "语音服务正在停止"});
    if (m_loadedDataPath)
        espeak_Terminate();
}

// Loads the library's data and the voice when they differ from what is loaded; returns an error
// text, empty on success.
std::string SpeechEngine::prepare(const SynthesisSettings& settings)
{
    if (!m_loadedDataPath || *m_loadedDataPath != settings.dataPath) {
        if (m_loadedDataPath)
            espeak_Terminate();
        m_loadedDataPath.reset();
        m_loadedVoice.clear();
        m_loadedSpeed = -1;
        // DONT_EXIT: a missing data folder must come back as an error, not end the process.
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0,
                                           settings.dataPath.empty() ? nullptr : settings.dataPath.c_str(),
                                           espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0)
            return "语音引擎无法启动（espeak-ng 数据目录不可用）";
        espeak_SetSynthCallback(collectSamples);
        m_sampleRate = rate;
        m_loadedDataPath = settings.dataPath;
    }
    if (m_loadedVoice != settings.voice) {
        if (espeak_SetVoiceByName(settings.voice.c_str()) != EE_OK)
            return "语音引擎没有声音“" + settings.voice + "”";
        m_loadedVoice = settings.voice;
        m_loadedSpeed = -1;
    }
    const int speed = settings.wordsPerMinute > 0 ? settings.wordsPerMinute : espeakRATE_NORMAL;
    if (m_loadedSpeed != speed) {
        espeak_SetParameter(espeakRATE, speed, 0);
        m_loadedSpeed = speed;
    }
    return {};
}

Synthesis SpeechEngine::process(const std::string& text, const SynthesisSettings& settings)
{
    Synthesis result;
    result.error = prepare(settings);
    if (!result.ok())
        return result;

    Samples samples;
    for (const auto& piece : splitAtPauses(text)) {
        if (!isBlank(piece.text)) {
            const auto status = espeak_Synth(piece.text.c_str(), piece.text.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, &samples);
            if (status != EE_OK) {
                result.error =
                    "语音合成失败（espeak-ng 错误 " + std::to_string(static_cast<int>(status)) + "）";
                return result;
            }
        }
        const int marks = std::clamp(piece.pauseMarks, 0, std::max(settings.maxPauseMarks, 0));
        const auto silence =
            static_cast<std::size_t>(m_sampleRate) * std::max(settings.pauseMsPerMark, 0) * marks / 1000;
        samples.insert(samples.end(), silence, short{0});
    }
    result.wav = encodeWav(samples.data(), samples.size(), m_sampleRate);
    return result;
}

} // namespace kestrova::services::speech
