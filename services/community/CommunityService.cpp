#include "CommunityService.h"

#include "http/Pages.h"

#include <charconv>
#include <ctime>

namespace kestrova::services {

namespace {

// Room 1 or 4 from "/ke1/..." or "/ke4/...", else 0.
int roomOf(std::string_view path)
{
    if (path.starts_with("/ke1/"))
        return 1;
    if (path.starts_with("/ke4/"))
        return 4;
    return 0;
}

// Chat text for the page: escaped, line breaks kept as <br>, other control characters dropped.
std::string chatHtml(std::string_view text)
{
    std::string out;
    for (char c : htmlEscape(text)) {
        if (c == '\n')
            out += "<br>";
        else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            out += c;
    }
    return out;
}

std::string clockText(Millis when)
{
    const std::time_t seconds = static_cast<std::time_t>(when / 1000);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d:%02d", parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string trimLineEnd(std::string_view text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    return std::string(text);
}

} // namespace

CommunityService::CommunityService(Store& store, CommunityOptions options)
    : m_store(store), m_options(options)
{}

Response CommunityService::handle(const Request& request)
{
    const std::string path = toLowerAscii(request.path);
    if (path == "/zxrs/" || path == "/zxrs" || path == "/zxrs/index.asp")
        return request.method == "GET" ? onlineCount() : errorPage(405, "请用 GET 访问。");
    const int room = roomOf(path);
    if (room != 0 && (path.ends_with("/sxqk/") || path.ends_with("/sxqk")) && path.size() <= 10)
        return request.method == "GET" ? messages(request, room) : errorPage(405, "请用 GET 访问。");
    if (room != 0 && path.ends_with("/lt/asp.asp") && path.size() == 15)
        return request.method == "POST" ? post(request, room) : errorPage(405, "发言请用 POST 提交。");
    return errorPage(404, "没有这个页面。");
}

Response CommunityService::onlineCount()
{
    const Millis now = nowMillis();
    const int count = m_store.countActiveSessions(now - m_options.onlineWindow.count(), now);
    // Reloads itself every minute: the client reads the count from this page whenever it is idle.
    return pageResponse("在线人数", "<meta http-equiv=\"refresh\" content=\"60\">\r\n<p>当前在线：<span "
                                    "id=\"OnlineUser_count_span\">" +
                                        std::to_string(count) + "</span> 人</p>");
}

Response CommunityService::messages(const Request& request, int room)
{
    // "after" hides the lines up to that id: the clear button turns the page into the view of
    // newer lines only, which the periodic reload keeps.
    std::int64_t after = 0;
    const std::string raw = queryValue(request.query, "after").value_or(std::string());
    if (!raw.empty()) {
        const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), after);
        if (error != std::errc() || end != raw.data() + raw.size() || after < 0)
            return errorPage(400, "参数 after 必须是数字。");
    }
    const auto lines = m_store.recentChatLines(room, after, m_options.linesShown);
    std::int64_t newest = after;
    std::string list;
    for (const ChatLine& line : lines) {
        newest = std::max(newest, line.id);
        list += "<div class=\"line\"><span class=\"who\">" + chatHtml(line.sender) +
                "</span> <span class=\"when\">" + clockText(line.postedAt) +
                "</span><br><span class=\"text\">" + chatHtml(line.message) + "</span></div>\r\n";
    }
    if (lines.empty())
        list = "<div class=\"empty\">暂时没有消息。</div>\r\n";
    const std::string subject = room == 1 ? "科目一" : "科目四";
    std::string body =
        "<meta http-equiv=\"refresh\" content=\"20\">\r\n"
        "<style>body{font-size:12px;margin:4px}.line{margin:0 0 6px}.who{color:#06c}.when{color:#999}"
        "#textarea{cursor:pointer;color:#c00}</style>\r\n";
    body += "<div><b>" + subject +
            "在线消息</b> <span id=\"textarea\" onclick=\"document.getElementById('lines')"
            ".innerHTML='';location.replace('?after=" +
            std::to_string(newest) + "');\">清屏</span></div>\r\n";
    body += "<div id=\"lines\">\r\n" + list + "</div>";
    return pageResponse(subject + "在线消息", body);
}

Response CommunityService::post(const Request& request, int room)
{
    if (request.body.size() > m_options.maxPostBytes)
        return errorPage(413, "发送的内容太长。");
    // The client sends "id=" + message + "&us=" + sender line, UTF-8 and unescaped: the message
    // runs up to the first "&us=".
    const std::string_view body = request.body;
    if (!body.starts_with("id="))
        return errorPage(400, "发言的格式不对：应为 id=消息&us=发言人。");
    const std::size_t split = body.find("&us=");
    if (split == std::string_view::npos)
        return errorPage(400, "发言的格式不对：缺少 &us=。");
    const std::string message = trimLineEnd(body.substr(3, split - 3));
    const std::string sender = trimLineEnd(body.substr(split + 4));
    if (!isValidUtf8(message) || !isValidUtf8(sender))
        return errorPage(400, "发言不是有效的 UTF-8 文字。");
    if (message.empty())
        return errorPage(400, "消息不能为空。");
    if (message.size() > m_options.maxMessageBytes)
        return errorPage(413, "消息太长，最多 " + std::to_string(m_options.maxMessageBytes) + " 个字节。");
    if (sender.size() > m_options.maxSenderBytes)
        return errorPage(413, "发言人一栏太长。");
    m_store.addChatLine(room, message, sender, nowMillis());
    return pageResponse("发言", "<p>发送成功。</p>");
}

} // namespace kestrova::services
