// Password hashes (libsodium's argon2id, salted, slow on purpose) and session tokens.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::services {

struct HashCost
{
    unsigned long long opsLimit;
    std::size_t memLimit;

    // What a deployment uses: libsodium's interactive limits.
    static HashCost interactive();
    // The cheapest cost argon2id allows; for tests only, where hundreds of hashes are made.
    static HashCost minimal();
};

// Initialises libsodium once; false when it cannot start (no entropy source).
bool initialiseCrypto();

// The encoded hash (algorithm, cost and salt included), or nullopt when hashing failed.
std::optional<std::string> hashPassword(std::string_view password, HashCost cost);
bool verifyPassword(std::string_view encodedHash, std::string_view password);
// Spends the time a verification costs, for names that have no user, so timing tells nothing.
void spendVerificationTime(HashCost cost);

// 128 random bits as 32 lower-case hex digits.
std::string randomToken();
// What the database keeps of a token: a keyless BLAKE2b digest in hex, so a copy of the
// database hands out no live sessions.
std::string tokenDigest(std::string_view token);

} // namespace kestrova::services
