// The community pages on www.kestrova-community.com: the online count "/zxrs/", the subjects'
// online-messages pages "/ke1/sxqk/" and "/ke4/sxqk/", and the chat post pages
// "/ke1/lt/asp.asp" and "/ke4/lt/asp.asp" that take the client's UTF-8 posts.
#pragma once

#include "http/Http.h"
#include "store/Store.h"

#include <chrono>
#include <cstddef>

namespace kestrova::services {

struct CommunityOptions
{
    std::chrono::milliseconds onlineWindow{std::chrono::minutes(10)};
    std::size_t maxPostBytes = 4096;   // whole body
    std::size_t maxMessageBytes = 600; // UTF-8 bytes of one chat line
    std::size_t maxSenderBytes = 120;
    int linesShown = 100;
};

class CommunityService
{
public:
    explicit CommunityService(Store& store, CommunityOptions options = {});

    Response handle(const Request& request);

private:
    Response onlineCount();
    Response messages(const Request& request, int room);
    Response post(const Request& request, int room);

    Store& m_store;
    CommunityOptions m_options;
};

} // namespace kestrova::services
