// The one thread that talks to libespeak-ng. The library keeps its state in globals and crashes
// when two threads synthesise at once, so every synthesis in the process, from every
// SpeechService, is queued here and run in turn on a single worker thread.
#pragma once

#include "http/Wav.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace kestrova::services::speech {

struct SynthesisSettings
{
    std::string dataPath;   // espeak-ng data folder; empty: the library's built-in location
    std::string voice;      // espeak-ng voice name
    int wordsPerMinute = 0; // 0: the library's normal speed
    int pauseMsPerMark = 0; // silence for each "#" in a run
    int maxPauseMarks = 0;  // longer runs pause no longer than this many marks
};

struct Synthesis
{
    std::string wav;   // a complete RIFF/WAVE file: PCM, mono, 16 bits
    std::string error; // empty on success

    bool ok() const { return error.empty(); }
};

class SpeechEngine
{
public:
    // The process-wide engine; its worker starts on first use and stops at exit.
    static SpeechEngine& instance();

    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;
    ~SpeechEngine();

    // Queues a UTF-8 text. When `maxPending` texts are already waiting the future is ready at once
    // with an error, so that a flood of requests cannot grow the queue without bound.
    std::future<Synthesis> synthesize(std::string utf8, SynthesisSettings settings, std::size_t maxPending);

private:
    struct Job
    {
        std::string text;
        SynthesisSettings settings;
        std::promise<Synthesis> done;
    };

    SpeechEngine() = default;
    void run(std::stop_token stop);
    Synthesis process(const std::string& text, const SynthesisSettings& settings);
    std::string prepare(const SynthesisSettings& settings);

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<Job> m_jobs;

    // Touched by the worker thread only.
    std::optional<std::string> m_loadedDataPath;
    std::string m_loadedVoice;
    int m_loadedSpeed = -1;
    int m_sampleRate = 0;

    // Last member: stopped and joined before the queue it reads is destroyed.
    std::jthread m_worker;
};

} // namespace kestrova::services::speech
