// The SQLite backend: one database file in WAL mode, a small pool of connections with prepared
// statements kept per connection, every write in its own transaction, schema changes as numbered
// migrations applied at open.
#include "Store.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <sqlite3.h>

namespace kestrova::services {

Millis nowMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

// Numbered schema steps. A step never changes once released; new needs get a new step.
constexpr std::string_view kMigrations[] = {
    // 1: the first schema.
    R"sql(
CREATE TABLE users (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    password_hash TEXT NOT NULL,
    question TEXT NOT NULL,
    answer TEXT NOT NULL,
    full_name TEXT NOT NULL,
    chat_admin INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE sessions (
    token_digest TEXT PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    created_at INTEGER NOT NULL,
    last_seen INTEGER NOT NULL,
    expires_at INTEGER NOT NULL
);
CREATE INDEX sessions_last_seen ON sessions(last_seen);
CREATE INDEX sessions_user ON sessions(user_id);
CREATE TABLE failures (
    key TEXT PRIMARY KEY,
    failures INTEGER NOT NULL,
    last_failure_at INTEGER NOT NULL
);
CREATE TABLE recovery_grants (
    user_id INTEGER PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE,
    granted_at INTEGER NOT NULL
);
CREATE TABLE news (
    id INTEGER PRIMARY KEY,
    body TEXT NOT NULL,
    updated_at INTEGER NOT NULL
);
CREATE TABLE questions (
    idx INTEGER PRIMARY KEY,
    subject TEXT NOT NULL,
    question TEXT NOT NULL,
    option_a TEXT NOT NULL,
    option_b TEXT NOT NULL,
    option_c TEXT NOT NULL,
    option_d TEXT NOT NULL,
    answer TEXT NOT NULL,
    picture TEXT NOT NULL,
    explanation TEXT NOT NULL,
    topic TEXT NOT NULL
);
CREATE INDEX questions_subject ON questions(subject, idx);
CREATE TABLE pictures (
    name TEXT PRIMARY KEY,
    svg BLOB NOT NULL,
    png BLOB NOT NULL
);
CREATE TABLE bank_sources (
    subject TEXT PRIMARY KEY,
    digest TEXT NOT NULL,
    imported_at INTEGER NOT NULL
);
CREATE TABLE bank_state (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    version INTEGER NOT NULL
);
INSERT INTO bank_state (id, version) VALUES (1, 0);
CREATE TABLE chat_lines (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    room INTEGER NOT NULL,
    message TEXT NOT NULL,
    sender TEXT NOT NULL,
    posted_at INTEGER NOT NULL
);
CREATE INDEX chat_lines_room ON chat_lines(room, id);
)sql",
};

struct DatabaseCloser
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

[[noreturn]] void fail(sqlite3* db, std::string_view what)
{
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

// One connection and its prepared statements.
class Connection
{
public:
    explicit Connection(DatabaseHandle db) : m_db(std::move(db)) {}

    sqlite3* db() const { return m_db.get(); }

    sqlite3_stmt* prepare(std::string_view sql)
    {
        auto found = m_statements.find(sql);
        if (found != m_statements.end())
            return found->second.get();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(m_db.get(), sql.data(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
            fail(m_db.get(), "prepare");
        return m_statements.emplace(std::string(sql), StatementHandle(raw)).first->second.get();
    }

private:
    DatabaseHandle m_db;
    std::map<std::string, StatementHandle, std::less<>> m_statements;
};

// A prepared statement in use: binds by position from 1, resets itself when done.
class Query
{
public:
    Query(Connection& connection, std::string_view sql)
        : m_db(connection.db()), m_statement(connection.prepare(sql))
    {}
    ~Query()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int position, std::string_view text)
    {
        check(sqlite3_bind_text(m_statement, position, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Query& bindBlob(int position, std::string_view bytes)
    {
        check(sqlite3_bind_blob(m_statement, position, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Query& bind(int position, std::int64_t value)
    {
        check(sqlite3_bind_int64(m_statement, position, value));
        return *this;
    }
    Query& bind(int position, int value) { return bind(position, static_cast<std::int64_t>(value)); }

    // true while there is a row.
    bool step()
    {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        fail(m_db, "step");
    }
    // Runs a statement that returns no rows; the number of rows it changed.
    int run()
    {
        while (step()) {
        }
        return sqlite3_changes(m_db);
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string text(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        const int size = sqlite3_column_bytes(m_statement, column);
        return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail(m_db, "bind");
    }

    sqlite3* m_db;
    sqlite3_stmt* m_statement;
};

// BEGIN IMMEDIATE takes the write lock at once, so two writers never deadlock upgrading a read.
class Transaction
{
public:
    explicit Transaction(Connection& connection) : m_connection(connection)
    {
        Query(m_connection, "BEGIN IMMEDIATE").run();
    }
    ~Transaction()
    {
        if (!m_done)
            sqlite3_exec(m_connection.db(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        Query(m_connection, "COMMIT").run();
        m_done = true;
    }

private:
    Connection& m_connection;
    bool m_done = false;
};

DatabaseHandle openDatabase(const std::string& path, std::string& error)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    DatabaseHandle db(raw);
    if (rc != SQLITE_OK) {
        error = "cannot open database " + path + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory");
        return {};
    }
    sqlite3_busy_timeout(db.get(), 10000);
    sqlite3_extended_result_codes(db.get(), 1);
    return db;
}

// Runs every statement of a fixed script (migrations and connection settings only, never data).
void runScript(sqlite3* db, std::string_view script)
{
    const char* next = script.data();
    const char* end = script.data() + script.size();
    while (next < end) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &raw, &tail) != SQLITE_OK)
            fail(db, "prepare script");
        StatementHandle statement(raw);
        next = tail;
        if (!statement)
            continue; // only white space or comments were left
        int rc;
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            fail(db, "run script");
    }
}

class SqliteStore final : public Store
{
public:
    explicit SqliteStore(std::string path) : m_path(std::move(path)) {}

    // Settings, WAL and migrations on the first connection.
    std::string initialise()
    {
        std::string error;
        DatabaseHandle db = openDatabase(m_path, error);
        if (!db)
            return error;
        try {
            runScript(db.get(), "PRAGMA journal_mode=WAL;");
            configure(db.get());
            migrate(db.get());
        } catch (const StoreError& e) {
            return "cannot prepare database " + m_path + ": " + e.what();
        }
        m_idle.push_back(std::make_unique<Connection>(std::move(db)));
        return {};
    }

    // --- users ---
    std::optional<UserRecord> findUser(std::string_view name) override
    {
        Lease c(*this);
        Query q(*c, "SELECT id, name, password_hash, question, answer, full_name, chat_admin FROM users "
                    "WHERE name = ?");
        q.bind(1, name);
        if (!q.step())
            return std::nullopt;
        return readUser(q);
    }

    bool addUser(const NewUser& user) override
    {
        Lease c(*this);
        Transaction t(*c);
        {
            Query exists(*c, "SELECT 1 FROM users WHERE name = ?");
            exists.bind(1, user.name);
            if (exists.step())
                return false;
        }
        Query q(*c, "INSERT INTO users (name, password_hash, question, answer, full_name, chat_admin) "
                    "VALUES (?, ?, ?, ?, ?, ?)");
        q.bind(1, user.name).bind(2, user.passwordHash).bind(3, user.question).bind(4, user.answer);
        q.bind(5, user.fullName).bind(6, user.chatAdmin ? 1 : 0).run();
        t.commit();
        return true;
    }

    bool setChatAdmin(std::string_view name, bool admin) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query q(*c, "UPDATE users SET chat_admin = ? WHERE name = ?");
        const int changed = q.bind(1, admin ? 1 : 0).bind(2, name).run();
        t.commit();
        return changed > 0;
    }

    bool setPassword(std::string_view name, std::string_view passwordHash) override
    {
        Lease c(*this);
        Transaction t(*c);
        const int changed = Query(*c, "UPDATE users SET password_hash = ? WHERE name = ?")
                                .bind(1, passwordHash)
                                .bind(2, name)
                                .run();
        if (changed > 0)
            Query(*c, "DELETE FROM sessions WHERE user_id = (SELECT id FROM users WHERE name = ?)")
                .bind(1, name)
                .run();
        t.commit();
        return changed > 0;
    }

    // --- failed attempts ---
    FailureCount failures(std::string_view key) override
    {
        Lease c(*this);
        Query q(*c, "SELECT failures, last_failure_at FROM failures WHERE key = ?");
        q.bind(1, key);
        if (!q.step())
            return {};
        return {static_cast<int>(q.integer(0)), q.integer(1)};
    }

    FailureCount recordFailure(std::string_view key, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "INSERT INTO failures (key, failures, last_failure_at) VALUES (?, 1, ?) "
                  "ON CONFLICT(key) DO UPDATE SET failures = failures + 1, last_failure_at = "
                  "excluded.last_failure_at")
            .bind(1, key)
            .bind(2, now)
            .run();
        FailureCount count;
        {
            Query q(*c, "SELECT failures, last_failure_at FROM failures WHERE key = ?");
            q.bind(1, key);
            if (q.step())
                count = {static_cast<int>(q.integer(0)), q.integer(1)};
        }
        t.commit();
        return count;
    }

    void clearFailures(std::string_view key) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "DELETE FROM failures WHERE key = ?").bind(1, key).run();
        t.commit();
    }

    // --- sessions ---
    void createSession(std::string_view tokenDigest, std::int64_t userId, Millis now,
                       Millis expiresAt) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "INSERT INTO sessions (token_digest, user_id, created_at, last_seen, expires_at) VALUES "
                  "(?, ?, ?, ?, ?)")
            .bind(1, tokenDigest)
            .bind(2, userId)
            .bind(3, now)
            .bind(4, now)
            .bind(5, expiresAt)
            .run();
        t.commit();
    }

    std::optional<UserRecord> touchSession(std::string_view tokenDigest, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        const int changed =
            Query(*c, "UPDATE sessions SET last_seen = ? WHERE token_digest = ? AND expires_at > ?")
                .bind(1, now)
                .bind(2, tokenDigest)
                .bind(3, now)
                .run();
        std::optional<UserRecord> user;
        if (changed > 0) {
            Query q(*c,
                    "SELECT u.id, u.name, u.password_hash, u.question, u.answer, u.full_name, u.chat_admin "
                    "FROM sessions s JOIN users u ON u.id = s.user_id WHERE s.token_digest = ?");
            q.bind(1, tokenDigest);
            if (q.step())
                user = readUser(q);
        }
        t.commit();
        return user;
    }

    void deleteSession(std::string_view tokenDigest) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "DELETE FROM sessions WHERE token_digest = ?").bind(1, tokenDigest).run();
        t.commit();
    }

    int countActiveSessions(Millis since, Millis now) override
    {
        Lease c(*this);
        Query q(*c, "SELECT COUNT(*) FROM sessions WHERE last_seen >= ? AND expires_at > ?");
        q.bind(1, since).bind(2, now);
        return q.step() ? static_cast<int>(q.integer(0)) : 0;
    }

    void purgeExpiredSessions(Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "DELETE FROM sessions WHERE expires_at <= ?").bind(1, now).run();
        t.commit();
    }

    // --- password recovery ---
    void grantRecovery(std::int64_t userId, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "INSERT INTO recovery_grants (user_id, granted_at) VALUES (?, ?) "
                  "ON CONFLICT(user_id) DO UPDATE SET granted_at = excluded.granted_at")
            .bind(1, userId)
            .bind(2, now)
            .run();
        t.commit();
    }

    bool completeRecovery(std::string_view name, std::string_view passwordHash, Millis grantedSince) override
    {
        Lease c(*this);
        Transaction t(*c);
        std::int64_t userId = 0;
        {
            Query q(*c, "SELECT u.id FROM users u JOIN recovery_grants g ON g.user_id = u.id "
                        "WHERE u.name = ? AND g.granted_at >= ?");
            q.bind(1, name).bind(2, grantedSince);
            if (!q.step())
                return false;
            userId = q.integer(0);
        }
        Query(*c, "DELETE FROM recovery_grants WHERE user_id = ?").bind(1, userId).run();
        Query(*c, "UPDATE users SET password_hash = ? WHERE id = ?")
            .bind(1, passwordHash)
            .bind(2, userId)
            .run();
        Query(*c, "DELETE FROM sessions WHERE user_id = ?").bind(1, userId).run();
        t.commit();
        return true;
    }

    // --- news ---
    std::optional<std::string> news(int id) override
    {
        Lease c(*this);
        Query q(*c, "SELECT body FROM news WHERE id = ?");
        q.bind(1, id);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    }

    void setNews(int id, std::string_view text, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "INSERT INTO news (id, body, updated_at) VALUES (?, ?, ?) "
                  "ON CONFLICT(id) DO UPDATE SET body = excluded.body, updated_at = excluded.updated_at")
            .bind(1, id)
            .bind(2, text)
            .bind(3, now)
            .run();
        t.commit();
    }

    // --- question bank ---
    void replaceBank(const BankReplacement& replacement, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        for (const auto& source : replacement.sources) {
            Query(*c, "DELETE FROM questions WHERE subject = ?").bind(1, source.subject).run();
            Query(*c, "INSERT INTO bank_sources (subject, digest, imported_at) VALUES (?, ?, ?) "
                      "ON CONFLICT(subject) DO UPDATE SET digest = excluded.digest, imported_at = "
                      "excluded.imported_at")
                .bind(1, source.subject)
                .bind(2, source.digest)
                .bind(3, now)
                .run();
        }
        for (const auto& picture : replacement.pictures) {
            Query(*c, "INSERT INTO pictures (name, svg, png) VALUES (?, ?, ?) "
                      "ON CONFLICT(name) DO UPDATE SET svg = excluded.svg, png = excluded.png")
                .bind(1, picture.name)
                .bindBlob(2, picture.svg)
                .bindBlob(3, picture.png)
                .run();
        }
        for (const auto& question : replacement.questions) {
            Query(*c, "INSERT INTO questions (idx, subject, question, option_a, option_b, option_c, "
                      "option_d, answer, "
                      "picture, explanation, topic) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                .bind(1, question.index)
                .bind(2, question.subject)
                .bind(3, question.text)
                .bind(4, question.options[0])
                .bind(5, question.options[1])
                .bind(6, question.options[2])
                .bind(7, question.options[3])
                .bind(8, question.answer)
                .bind(9, question.picture)
                .bind(10, question.explanation)
                .bind(11, question.topic)
                .run();
        }
        // Pictures no question points at any more go.
        Query(*c,
              "DELETE FROM pictures WHERE name NOT IN (SELECT picture FROM questions WHERE picture <> '')")
            .run();
        Query(*c, "UPDATE bank_state SET version = version + 1 WHERE id = 1").run();
        t.commit();
    }

    std::optional<Question> question(int index) override
    {
        Lease c(*this);
        Query q(*c, "SELECT idx, subject, question, option_a, option_b, option_c, option_d, answer, picture, "
                    "explanation, "
                    "topic FROM questions WHERE idx = ?");
        q.bind(1, index);
        if (!q.step())
            return std::nullopt;
        return readQuestion(q);
    }

    std::vector<Question> questions(std::string_view subject) override
    {
        Lease c(*this);
        Query q(*c, "SELECT idx, subject, question, option_a, option_b, option_c, option_d, answer, picture, "
                    "explanation, "
                    "topic FROM questions WHERE subject = ? ORDER BY idx");
        q.bind(1, subject);
        std::vector<Question> out;
        while (q.step())
            out.push_back(readQuestion(q));
        return out;
    }

    std::optional<Picture> picture(std::string_view name) override
    {
        Lease c(*this);
        Query q(*c, "SELECT name, svg, png FROM pictures WHERE name = ?");
        q.bind(1, name);
        if (!q.step())
            return std::nullopt;
        return Picture{q.text(0), q.text(1), q.text(2)};
    }

    std::optional<std::string> picturePng(std::string_view name) override
    {
        Lease c(*this);
        Query q(*c, "SELECT png FROM pictures WHERE name = ?");
        q.bind(1, name);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    }

    std::int64_t bankVersion() override
    {
        Lease c(*this);
        Query q(*c, "SELECT version FROM bank_state WHERE id = 1");
        return q.step() ? q.integer(0) : 0;
    }

    std::optional<std::string> bankDigest(std::string_view subject) override
    {
        Lease c(*this);
        Query q(*c, "SELECT digest FROM bank_sources WHERE subject = ?");
        q.bind(1, subject);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    }

    // --- chat ---
    std::int64_t addChatLine(int room, std::string_view message, std::string_view sender, Millis now) override
    {
        Lease c(*this);
        Transaction t(*c);
        Query(*c, "INSERT INTO chat_lines (room, message, sender, posted_at) VALUES (?, ?, ?, ?)")
            .bind(1, room)
            .bind(2, message)
            .bind(3, sender)
            .bind(4, now)
            .run();
        const std::int64_t id = sqlite3_last_insert_rowid(c->db());
        t.commit();
        return id;
    }

    std::vector<ChatLine> recentChatLines(int room, std::int64_t afterId, int limit) override
    {
        Lease c(*this);
        Query q(*c, "SELECT id, room, message, sender, posted_at FROM chat_lines WHERE room = ? AND id > ? "
                    "ORDER BY id DESC LIMIT ?");
        q.bind(1, room).bind(2, afterId).bind(3, limit);
        std::vector<ChatLine> out;
        while (q.step())
            out.push_back({q.integer(0), static_cast<int>(q.integer(1)), q.text(2), q.text(3), q.integer(4)});
        return out;
    }

private:
    // A pooled connection, handed back when the lease ends.
    class Lease
    {
    public:
        explicit Lease(SqliteStore& store) : m_store(store), m_connection(store.acquire()) {}
        ~Lease() { m_store.release(std::move(m_connection)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Connection& operator*() const { return *m_connection; }
        Connection* operator->() const { return m_connection.get(); }

    private:
        SqliteStore& m_store;
        std::unique_ptr<Connection> m_connection;
    };

    std::unique_ptr<Connection> acquire()
    {
        {
            std::scoped_lock lock(m_mutex);
            if (!m_idle.empty()) {
                auto connection = std::move(m_idle.back());
                m_idle.pop_back();
                return connection;
            }
        }
        std::string error;
        DatabaseHandle db = openDatabase(m_path, error);
        if (!db)
            throw StoreError(error);
        configure(db.get());
        return std::make_unique<Connection>(std::move(db));
    }

    void release(std::unique_ptr<Connection> connection)
    {
        std::scoped_lock lock(m_mutex);
        if (m_idle.size() < kMaxIdle)
            m_idle.push_back(std::move(connection));
    }

    static void configure(sqlite3* db)
    {
        // FULL: a committed transaction survives a crash of the machine, not only of the process.
        runScript(db, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
    }

    static void migrate(sqlite3* db)
    {
        runScript(db, "CREATE TABLE IF NOT EXISTS schema_migrations (version INTEGER PRIMARY KEY);");
        for (std::size_t i = 0; i < std::size(kMigrations); ++i) {
            const auto version = static_cast<std::int64_t>(i + 1);
            runScript(db, "BEGIN IMMEDIATE;");
            try {
                sqlite3_stmt* raw = nullptr;
                const std::string_view check = "SELECT 1 FROM schema_migrations WHERE version = ?";
                if (sqlite3_prepare_v2(db, check.data(), static_cast<int>(check.size()), &raw, nullptr) !=
                    SQLITE_OK)
                    fail(db, "prepare");
                StatementHandle statement(raw);
                sqlite3_bind_int64(raw, 1, version);
                const bool applied = sqlite3_step(raw) == SQLITE_ROW;
                statement.reset();
                if (!applied) {
                    runScript(db, kMigrations[i]);
                    const std::string_view record = "INSERT INTO schema_migrations (version) VALUES (?)";
                    if (sqlite3_prepare_v2(db, record.data(), static_cast<int>(record.size()), &raw,
                                           nullptr) != SQLITE_OK)
                        fail(db, "prepare");
                    StatementHandle insert(raw);
                    sqlite3_bind_int64(raw, 1, version);
                    if (sqlite3_step(raw) != SQLITE_DONE)
                        fail(db, "record migration");
                }
                runScript(db, "COMMIT;");
            } catch (...) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
    }

    static UserRecord readUser(const Query& q)
    {
        return {q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5), q.integer(6) != 0};
    }

    static Question readQuestion(const Query& q)
    {
        Question out;
        out.index = static_cast<int>(q.integer(0));
        out.subject = q.text(1);
        out.text = q.text(2);
        for (int i = 0; i < 4; ++i)
            out.options[static_cast<std::size_t>(i)] = q.text(3 + i);
        out.answer = q.text(7);
        out.picture = q.text(8);
        out.explanation = q.text(9);
        out.topic = q.text(10);
        return out;
    }

    static constexpr std::size_t kMaxIdle = 8;
    std::string m_path;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Connection>> m_idle;
};

} // namespace

std::unique_ptr<Store> openSqliteStore(const std::string& path, std::string& error)
{
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    auto store = std::make_unique<SqliteStore>(path);
    error = store->initialise();
    if (!error.empty())
        return nullptr;
    return store;
}

} // namespace kestrova::services
