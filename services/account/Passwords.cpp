#include "Passwords.h"

#include <mutex>
#include <sodium.h>

namespace kestrova::services {

HashCost HashCost::interactive()
{
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

HashCost HashCost::minimal()
{
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

bool initialiseCrypto()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::optional<std::string> hashPassword(std::string_view password, HashCost cost)
{
    if (!initialiseCrypto())
        return std::nullopt;
    char encoded[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(encoded, password.data(), password.size(), cost.opsLimit, cost.memLimit,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        return std::nullopt; // out of memory
    return std::string(encoded);
}

bool verifyPassword(std::string_view encodedHash, std::string_view password)
{
    if (!initialiseCrypto() || encodedHash.size() >= crypto_pwhash_STRBYTES)
        return false;
    const std::string terminated(encodedHash); // the library wants a C string
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

void spendVerificationTime(HashCost cost)
{
    static std::once_flag once;
    static std::string dummy;
    std::call_once(once,
                   [cost] { dummy = hashPassword("kestrova-no-such-user", cost).value_or(std::string()); });
    if (!dummy.empty())
        verifyPassword(dummy, "a password that is not it");
}

std::string randomToken()
{
    initialiseCrypto();
    unsigned char bytes[16];
    randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string tokenDigest(std::string_view token)
{
    initialiseCrypto();
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), nullptr, 0);
    char hex[sizeof digest * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

} // namespace kestrova::services
