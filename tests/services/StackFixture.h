// The stack running in-process for a test: temporary database, ephemeral ports on 127.0.0.1, the
// client's HTTP gateway pointed at it so the client's own requests reach it by host name.
#pragma once

#include "app/Router.h"
#include "http/Server.h"
#include "store/Store.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kestrova::test {

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Account settings that keep tests quick: the cheapest hash, short refusal delays.
services::AccountOptions quickAccounts();

class TestStack
{
public:
    explicit TestStack(services::RouterOptions options = defaultOptions());
    ~TestStack();

    static services::RouterOptions defaultOptions();

    services::Store& store() { return *m_store; }
    services::Router& router() { return *m_router; }
    services::Server& server() { return *m_server; }
    unsigned short port() const { return m_port; }
    unsigned short musicPort() const { return m_musicPort; }
    const std::filesystem::path& dir() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::unique_ptr<services::Store> m_store;
    std::unique_ptr<services::Router> m_router;
    std::unique_ptr<services::Server> m_server;
    unsigned short m_port = 0;
    unsigned short m_musicPort = 0;
};

// Sends raw bytes to 127.0.0.1:port and returns everything read until the server closes the
// connection (or two seconds pass).
std::string rawExchange(unsigned short port, const std::string& bytes);
// Status code of the first response in raw bytes, or 0.
int statusOf(const std::string& rawResponse);

// A UTF-8 literal as GBK bytes (for building requests exactly as the client does).
std::string gbk(const std::string& utf8);
std::string utf8(const std::string& gbk);

void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace kestrova::test
