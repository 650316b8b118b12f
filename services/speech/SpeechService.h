// The text-to-speech service on the speech host (deployment::stack::kSpeechHost).
//
//   GET /sockets/tts.asp?dir=zh&speed=0&B=1&ID=...&chr=MiaHead&vc=VW%20Lily&text=<UTF-8, %-encoded>
//       A GBK page whose <audio autoplay> plays the text. Only `text` matters; the other keys are the
//       client's fixed ones and are accepted whatever they hold. Runs of "#" are pauses.
//   GET /sockets/tts.wav?text=<UTF-8, %-encoded>
//       The WAV itself (PCM, mono, 16 bits). The address carries the text, so any instance of the
//       stack can answer it; the page request has normally put it in the cache already.
//
// Errors are pages that say what is wrong: 400 for a missing text or a bad encoding, 414 for a text
// over the length limit, 503 when the synthesiser is busy or unavailable, 404 for other paths.
#pragma once

#include "http/Http.h"
#include "speech/SpeechEngine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrova::services {

struct SpeechOptions
{
    std::string dataPath;                  // espeak-ng data folder; empty: the library's own
    std::string voice = "cmn-latn-pinyin"; // plain "cmn" reads tone digits aloud in English
    int wordsPerMinute = 150;              // a little slower than the library's 175, for clarity
    int pauseMsPerMark = 250;              // each "#" of a run adds this much silence...
    int maxPauseMarks = 8;                 // ...up to this many marks per run
    // Longer texts are refused (414). A Chinese character takes 9 bytes of the address, so 400 keeps
    // every accepted text inside the server's 4 KiB limit on request targets.
    std::size_t maxTextChars = 400;
    std::size_t cacheBytes = 64u << 20;         // WAV bytes kept, least recently used dropped first
    std::size_t maxPending = 64;                // texts waiting for the synthesiser before 503
    std::chrono::milliseconds waitLimit{30000}; // longest a request waits for its audio
};

class SpeechService
{
public:
    static constexpr std::string_view kPagePath = "/sockets/tts.asp";
    static constexpr std::string_view kAudioPath = "/sockets/tts.wav";

    explicit SpeechService(SpeechOptions options = {});

    // Safe to call from many threads at once.
    Response handle(const Request& request) const;

    struct Stats
    {
        std::uint64_t synthesised = 0; // texts the engine produced for this service
        std::uint64_t cacheHits = 0;
        std::size_t cachedTexts = 0;
        std::size_t cachedBytes = 0;
    };
    Stats stats() const;

private:
    struct Audio
    {
        std::shared_ptr<const std::string> wav;
        int status = 200;
        std::string error; // UTF-8; empty when wav is set
    };
    struct CacheEntry
    {
        std::string text;
        std::shared_ptr<const std::string> wav;
    };

    // What a request asks to hear: decoded text, or an error page already made.
    struct Wanted
    {
        std::string text;
        std::optional<Response> refusal;
    };
    Wanted readText(const Request& request) const;
    Audio audioFor(const std::string& text) const;
    std::shared_ptr<const std::string> cached(const std::string& text) const; // call with m_mutex held
    void remember(const std::string& text, std::shared_ptr<const std::string> wav) const; // m_mutex held

    SpeechOptions m_options;

    mutable std::mutex m_mutex;
    mutable std::list<CacheEntry> m_lru; // most recently used first
    mutable std::unordered_map<std::string, std::list<CacheEntry>::iterator> m_index;
    mutable std::unordered_map<std::string, std::shared_future<speech::Synthesis>> m_inFlight;
    mutable Stats m_stats;
};

} // namespace kestrova::services
