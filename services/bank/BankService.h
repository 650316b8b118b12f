// The question bank on tiku.kestrova.test: "/test/2013abcd/ajax.asp?r=&index=N" answers one
// question as a flat quoted body whose nine name-value pairs fall on the pieces the client
// reads when it splits the body at double quotes; "/pictures/<folder>/<name>.png" serves the
// pictures the answers point at. Answers are cached until the bank is imported anew.
#pragma once

#include "http/Http.h"
#include "store/Store.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>

namespace kestrova::services {

class BankService
{
public:
    explicit BankService(Store& store,
                         std::chrono::milliseconds versionCheckInterval = std::chrono::milliseconds(1000));

    Response handle(const Request& request);

    // The GBK body for one question.
    static std::string questionBody(const Question& question);
    // Where the bank serves a picture named "<folder>/<name>.svg" (as PNG).
    static std::string pictureUrl(std::string_view picture);
    // The short body for an index without a question: far fewer pieces than a question has.
    static std::string noQuestionBody(int index);

private:
    Response questionResponse(const Request& request);
    Response pictureResponse(const Request& request);
    // Drops the caches when another import has happened since the last look.
    void checkVersion();

    Store& m_store;
    const std::chrono::milliseconds m_checkInterval;
    std::atomic<std::int64_t> m_checkedAt{0}; // steady clock, milliseconds
    std::shared_mutex m_mutex;
    std::int64_t m_version = -1;
    std::unordered_map<int, std::optional<std::string>> m_bodies;
    std::unordered_map<std::string, std::optional<std::string>> m_pictures;
};

} // namespace kestrova::services
