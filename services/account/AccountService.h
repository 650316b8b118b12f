// The account service on account.kestrova.test under the path segment the profile page
// publishes: login with a session cookie, the notice pages, registration and the three steps of
// password recovery. Pages are GBK; the texts and markers the client searches for are exact.
#pragma once

#include "Passwords.h"
#include "http/Http.h"
#include "store/Store.h"

#include <chrono>
#include <optional>
#include <string>

namespace kestrova::services {

struct AccountOptions
{
    HashCost cost = HashCost::interactive();
    // Every refused login or recovery answer is held back this long.
    std::chrono::milliseconds refusalDelay{1000};
    // After this many failures in a row for one name, further attempts are refused unchecked
    // for a time that doubles with every failure, up to maxLock.
    int freeFailures = 5;
    std::chrono::milliseconds firstLock{2000};
    std::chrono::milliseconds maxLock{std::chrono::minutes(5)};
    std::chrono::milliseconds sessionLifetime{std::chrono::hours(12)};
    // How long after a passed recovery step two the new password may be set.
    std::chrono::milliseconds recoveryWindow{std::chrono::minutes(5)};
};

// A new account's texts, UTF-8.
struct NewAccount
{
    std::string name;
    std::string password;
    std::string question;
    std::string answer;
    std::string fullName;
};

// Why a new account cannot be made (a sentence for the user, UTF-8), or nullopt when it can.
// withRecovery: the hint question, its answer and the full name are required too.
std::optional<std::string> accountProblem(const NewAccount& account, bool withRecovery);
std::optional<std::string> passwordProblem(const std::string& password);

// The notice items the service has: 1 and 7 to 13.
bool isNewsItem(int id);
// Item 11 is made per session and cannot be set.
bool isSettableNewsItem(int id);
// What an item says until it is set.
std::string defaultNews(int id);
// Why a text cannot be a notice item, or nullopt.
std::optional<std::string> newsProblem(const std::string& utf8);

// Makes an account (CLI and registration). An error sentence, or nullopt on success.
std::optional<std::string> createAccount(Store& store, const NewAccount& account, bool withRecovery,
                                         bool chatAdmin, HashCost cost);

class AccountService
{
public:
    explicit AccountService(Store& store, AccountOptions options = {});

    Response handle(const Request& request);

    static constexpr std::string_view kSessionCookie = "KestrovaSession";

private:
    Response login(const Request& request);
    Response logout(const Request& request);
    Response notice(const Request& request);
    Response registration(const Request& request);
    Response recoveryStepOne(const Request& request);
    Response recoveryStepTwo(const Request& request);
    Response recoveryStepThree(const Request& request);

    // Milliseconds the key is still locked for, 0 when it is not.
    Millis lockedFor(const FailureCount& count, Millis now) const;

    Store& m_store;
    AccountOptions m_options;
};

} // namespace kestrova::services
