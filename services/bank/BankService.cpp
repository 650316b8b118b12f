#include "BankService.h"

#include "http/Pages.h"

#include <charconv>
#include <kestrova/DeploymentDefaults.h>

namespace kestrova::services {

namespace {

constexpr std::string_view kQuestionPath = "/test/2013abcd/ajax.asp";
constexpr std::string_view kPicturePrefix = "/pictures/";
constexpr int kCachedIndexLimit = 100000; // indexes beyond are answered but not remembered

std::int64_t steadyMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void appendPair(std::string& body, std::string_view name, std::string_view value, bool first = false)
{
    if (!first)
        body += ',';
    body += '"';
    body += name;
    body += "\":\"";
    body += value;
    body += '"';
}

} // namespace

BankService::BankService(Store& store, std::chrono::milliseconds versionCheckInterval)
    : m_store(store), m_checkInterval(versionCheckInterval)
{}

std::string BankService::pictureUrl(std::string_view picture)
{
    std::string url =
        "http://" + std::string(kestrova::deployment::stack::kBankHost) + std::string(kPicturePrefix);
    url += picture.substr(0, picture.size() - 4); // "<folder>/<name>" without ".svg"
    url += ".png";
    return url;
}

std::string BankService::questionBody(const Question& question)
{
    // Pieces at double quotes: 1 id, 3 its value, 5 "question", 7 the text, 9/13/17/21 the
    // option labels with their texts at 11/15/19/23, 27 the answer, 31 the picture, 35 the
    // explanation. Import guarantees that no value holds a double quote.
    std::string body = "{";
    appendPair(body, "id", std::to_string(question.index), true);
    appendPair(body, "question", question.text);
    static constexpr std::string_view kLabels[] = {"A", "B", "C", "D"};
    for (std::size_t i = 0; i < 4; ++i)
        appendPair(body, kLabels[i], question.options[i]);
    appendPair(body, "answer", question.answer);
    appendPair(body, "picture", question.picture.empty() ? std::string() : pictureUrl(question.picture));
    appendPair(body, "explain", question.explanation);
    body += "}";
    return utf8ToGbkHtml(body);
}

std::string BankService::noQuestionBody(int index)
{
    return "{\"error\":\"no question\",\"index\":\"" + std::to_string(index) + "\"}";
}

void BankService::checkVersion()
{
    const std::int64_t now = steadyMillis();
    std::int64_t checked = m_checkedAt.load();
    if (now - checked < m_checkInterval.count() || !m_checkedAt.compare_exchange_strong(checked, now))
        return;
    const std::int64_t version = m_store.bankVersion();
    std::unique_lock lock(m_mutex);
    if (version != m_version) {
        m_version = version;
        m_bodies.clear();
        m_pictures.clear();
    }
}

Response BankService::handle(const Request& request)
{
    if (request.method != "GET")
        return errorPage(405, "题库只接受 GET 请求。");
    checkVersion();
    if (equalsIgnoringCase(request.path, kQuestionPath))
        return questionResponse(request);
    if (request.path.starts_with(kPicturePrefix))
        return pictureResponse(request);
    return errorPage(404, "没有这个页面。");
}

Response BankService::questionResponse(const Request& request)
{
    const std::string raw = queryValue(request.query, "index").value_or(std::string());
    int index = 0;
    const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), index);
    if (raw.empty() || raw.size() > 9 || error != std::errc() || end != raw.data() + raw.size() || index < 0)
        return Response::bytes("{\"error\":\"bad index\"}", "text/plain; charset=gbk", 400);

    {
        std::shared_lock lock(m_mutex);
        const auto found = m_bodies.find(index);
        if (found != m_bodies.end()) {
            if (found->second)
                return Response::bytes(*found->second, "text/plain; charset=gbk");
            return Response::bytes(noQuestionBody(index), "text/plain; charset=gbk", 404);
        }
    }
    const auto question = m_store.question(index);
    std::optional<std::string> body;
    if (question)
        body = questionBody(*question);
    if (index < kCachedIndexLimit) {
        std::unique_lock lock(m_mutex);
        m_bodies.emplace(index, body);
    }
    if (!body)
        return Response::bytes(noQuestionBody(index), "text/plain; charset=gbk", 404);
    return Response::bytes(std::move(*body), "text/plain; charset=gbk");
}

Response BankService::pictureResponse(const Request& request)
{
    std::string_view rest = std::string_view(request.path).substr(kPicturePrefix.size());
    if (!rest.ends_with(".png") || rest.find("..") != std::string_view::npos)
        return errorPage(404, "没有这张图片。");
    const std::string name = std::string(rest.substr(0, rest.size() - 4)) + ".svg";
    {
        std::shared_lock lock(m_mutex);
        const auto found = m_pictures.find(name);
        if (found != m_pictures.end()) {
            if (found->second)
                return Response::bytes(*found->second, "image/png");
            return errorPage(404, "没有这张图片。");
        }
    }
    auto png = m_store.picturePng(name);
    {
        std::unique_lock lock(m_mutex);
        if (m_pictures.size() < 10000)
            m_pictures.emplace(name, png);
    }
    if (!png)
        return errorPage(404, "没有这张图片。");
    return Response::bytes(std::move(*png), "image/png");
}

} // namespace kestrova::services
