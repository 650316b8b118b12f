// Everything the services keep: users, sessions, news items, the question bank and its pictures,
// chat lines. Sessions and all other state live here and never in a process, so several
// instances of the stack can serve one database. The services see only this interface; SQLite
// is the embedded default, a PostgreSQL backend can implement the same operations.
//
// Times are milliseconds since the Unix epoch, always passed in by the caller, so no backend's
// clock or date functions enter the services' logic. Texts are UTF-8.
//
// Every operation is atomic. An unexpected backend failure (disk full, corrupt file) throws
// StoreError; the router turns it into a 500 page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::services {

using Millis = std::int64_t;

struct StoreError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct UserRecord
{
    std::int64_t id = 0;
    std::string name;
    std::string passwordHash;
    std::string question;
    std::string answer;
    std::string fullName;
    bool chatAdmin = false;
};

struct NewUser
{
    std::string name;
    std::string passwordHash;
    std::string question;
    std::string answer;
    std::string fullName;
    bool chatAdmin = false;
};

// Failed attempts counted for one key (a login name, a recovery name).
struct FailureCount
{
    int failures = 0;
    Millis lastFailureAt = 0;
};

struct Question
{
    int index = 0;
    std::string subject; // "科目一" or "科目四"
    std::string text;
    std::array<std::string, 4> options;
    std::string answer;  // digits 1-4, ascending
    std::string picture; // "<folder>/<name>.svg" or empty
    std::string explanation;
    std::string topic;
};

struct Picture
{
    std::string name; // "<folder>/<name>.svg"
    std::string svg;  // source, kept for export
    std::string png;  // rendered at import
};

// What one import replaces: the listed subjects lose all their questions and get these.
struct BankReplacement
{
    struct Source
    {
        std::string subject;
        std::string digest; // of the imported file, to notice a changed file at start
    };
    std::vector<Source> sources;
    std::vector<Question> questions;
    std::vector<Picture> pictures;
};

struct ChatLine
{
    std::int64_t id = 0;
    int room = 0; // 1 or 4, the subject
    std::string message;
    std::string sender;
    Millis postedAt = 0;
};

class Store
{
public:
    virtual ~Store() = default;

    // --- users ---
    virtual std::optional<UserRecord> findUser(std::string_view name) = 0;
    // false when the name is taken.
    virtual bool addUser(const NewUser& user) = 0;
    // false when there is no such user.
    virtual bool setChatAdmin(std::string_view name, bool admin) = 0;
    virtual bool setPassword(std::string_view name, std::string_view passwordHash) = 0;

    // --- failed attempts ---
    virtual FailureCount failures(std::string_view key) = 0;
    virtual FailureCount recordFailure(std::string_view key, Millis now) = 0;
    virtual void clearFailures(std::string_view key) = 0;

    // --- sessions (keyed by a digest of the cookie token, never the token itself) ---
    virtual void createSession(std::string_view tokenDigest, std::int64_t userId, Millis now,
                               Millis expiresAt) = 0;
    // The session's user when it exists and has not expired; marks the session as seen now.
    virtual std::optional<UserRecord> touchSession(std::string_view tokenDigest, Millis now) = 0;
    virtual void deleteSession(std::string_view tokenDigest) = 0;
    // Unexpired sessions seen at or after `since`.
    virtual int countActiveSessions(Millis since, Millis now) = 0;
    virtual void purgeExpiredSessions(Millis now) = 0;

    // --- password recovery ---
    virtual void grantRecovery(std::int64_t userId, Millis now) = 0;
    // Sets the new password only when a grant for that user was made at or after grantedSince;
    // consumes the grant and ends the user's sessions. false when there was no such grant.
    virtual bool completeRecovery(std::string_view name, std::string_view passwordHash,
                                  Millis grantedSince) = 0;

    // --- news items ---
    virtual std::optional<std::string> news(int id) = 0;
    virtual void setNews(int id, std::string_view text, Millis now) = 0;

    // --- question bank ---
    // All or nothing: either every question and picture is in place afterwards, or nothing changed.
    virtual void replaceBank(const BankReplacement& replacement, Millis now) = 0;
    virtual std::optional<Question> question(int index) = 0;
    virtual std::vector<Question> questions(std::string_view subject) = 0;
    virtual std::optional<Picture> picture(std::string_view name) = 0;
    virtual std::optional<std::string> picturePng(std::string_view name) = 0;
    // Grows with every replaceBank, so caches notice a new bank.
    virtual std::int64_t bankVersion() = 0;
    virtual std::optional<std::string> bankDigest(std::string_view subject) = 0;

    // --- chat ---
    virtual std::int64_t addChatLine(int room, std::string_view message, std::string_view sender,
                                     Millis now) = 0;
    // Newest first, only lines with an id above afterId.
    virtual std::vector<ChatLine> recentChatLines(int room, std::int64_t afterId, int limit) = 0;
};

// Opens (creating and migrating when needed) the SQLite database at path. nullptr with a reason
// in error when that fails.
std::unique_ptr<Store> openSqliteStore(const std::string& path, std::string& error);

Millis nowMillis();

} // namespace kestrova::services
