// The stack's virtual hosts: every request goes to the service of its Host header. The music
// host is answered on its own port (8888) and on the main port; on the music port nothing else is.
#pragma once

#include "account/AccountService.h"
#include "bank/BankService.h"
#include "community/CommunityService.h"
#include "http/Http.h"
#include "profile/ProfileService.h"
#include "store/Store.h"

#include <atomic>
#include <memory>

namespace kestrova::services {

class SpeechService;
class MediaService;

struct RouterOptions
{
    AccountOptions account;
    CommunityOptions community;
    bool withSpeech = true; // the speech engine is started only when wanted (tests of other services skip it)
    bool withMedia = true;
};

// Requests whose handling hashes a password (the account service's form posts): the transport
// runs them apart from the quick ones.
bool isSlowRequest(const Request& request);

class Router
{
public:
    explicit Router(Store& store, RouterOptions options = {});
    ~Router();
    Router(const Router&) = delete;
    Router& operator=(const Router&) = delete;

    // The port the music host has to itself (the port actually bound when 0 was asked for).
    void setMusicPort(unsigned short port) { m_musicPort = port; }

    Response handle(const Request& request);

private:
    Response dispatch(const Request& request);

    ProfileService m_profile;
    AccountService m_account;
    BankService m_bank;
    CommunityService m_community;
    std::unique_ptr<SpeechService> m_speech;
    std::unique_ptr<MediaService> m_media;
    std::atomic<unsigned short> m_musicPort{0};
};

} // namespace kestrova::services
