#include "AccountService.h"

#include "http/Pages.h"

#include <array>
#include <charconv>
#include <kestrova/DeploymentDefaults.h>

namespace kestrova::services {

namespace stack = kestrova::deployment::stack;

namespace {

constexpr std::size_t kMaxNameBytes = 20;     // GBK bytes: ten Chinese characters
constexpr std::size_t kMaxPasswordBytes = 64; // GBK bytes
constexpr std::size_t kMaxDetailBytes = 60;   // question, answer, full name
constexpr std::size_t kMaxNewsBytes = 2000;

// The client cuts notice values between these (the left one ends in CR LF).
constexpr std::string_view kNoticeLeft = "<td style=\"word-wrap:break-word\"><br>\r\n";
constexpr std::string_view kNoticeRight = "    <br></td></tr>";

// Refusal text the client looks for after a login; every refused login page carries it.
constexpr std::string_view kLoginRefused = "请输入正确的用户名和密码";

std::size_t gbkLength(const std::string& utf8)
{
    const auto gbk = utf8ToGbk(utf8);
    return gbk ? gbk->size() : utf8.size();
}

bool representable(const std::string& utf8)
{
    return isValidUtf8(utf8) && utf8ToGbk(utf8).has_value();
}

bool hasControl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

// Form values the client sends unencoded are GBK as typed; nullopt when they are not GBK.
std::optional<std::string> typedValue(const std::string& raw)
{
    return gbkToUtf8(raw);
}

// Form values the client percent-encodes byte by byte (recovery steps two and three).
std::optional<std::string> encodedValue(const std::string& raw)
{
    const auto bytes = percentDecode(raw);
    if (!bytes)
        return std::nullopt;
    return gbkToUtf8(*bytes);
}

std::optional<std::string> userNameFromQuery(const Request& request)
{
    const auto raw = queryValue(request.query, "xusername");
    if (!raw)
        return std::nullopt;
    // The client puts the name in unencoded; a browser would percent-encode it. Names hold no
    // "%" (see accountProblem), so decoding both is safe.
    const auto bytes = percentDecode(*raw, false);
    if (!bytes)
        return std::nullopt;
    return gbkToUtf8(*bytes);
}

std::string serviceRoot()
{
    return "/" + std::string(stack::kServicePath);
}

Response refusedLogin(std::string_view reason, std::chrono::milliseconds delay)
{
    Response response = pageResponse(
        "会员登录",
        "<p><font color=\"red\">" + std::string(kLoginRefused) + "！</font></p>\r\n<p>" + htmlEscape(reason) +
            "</p>\r\n<p><a href=\"javascript:history.back()\">点击这里返回重新输入！</a></p>",
        403);
    response.delay = delay;
    return response;
}

} // namespace

// --- shared rules ------------------------------------------------------------------------------

std::optional<std::string> passwordProblem(const std::string& password)
{
    if (password.empty())
        return "密码不能为空。";
    if (!representable(password) || hasControl(password))
        return "密码中含有无法使用的字符。";
    if (gbkLength(password) > kMaxPasswordBytes)
        return "密码太长，最多 64 个字节。";
    return std::nullopt;
}

std::optional<std::string> accountProblem(const NewAccount& account, bool withRecovery)
{
    if (account.name.empty())
        return "用户名不能为空。";
    if (!representable(account.name) || hasControl(account.name))
        return "用户名中含有无法使用的字符。";
    if (gbkLength(account.name) > kMaxNameBytes)
        return "用户名太长，最多 20 个字节（10 个汉字）。";
    if (account.name.find_first_of(" %&=+#?\"'<>\\/;,") != std::string::npos)
        return "用户名不能包含空格和 % & = + # ? \" ' < > \\ / ; , 这些符号。";
    if (auto problem = passwordProblem(account.password))
        return problem;
    const std::array<const std::string*, 3> details{&account.question, &account.answer, &account.fullName};
    for (const std::string* detail : details) {
        if (detail->empty()) {
            if (withRecovery)
                return "提示问题、问题答案和真实姓名都不能为空，找回密码时要用到它们。";
            continue;
        }
        if (!representable(*detail) || hasControl(*detail))
            return "提示问题、问题答案或真实姓名中含有无法使用的字符。";
        if (gbkLength(*detail) > kMaxDetailBytes)
            return "提示问题、问题答案和真实姓名每项最多 60 个字节。";
    }
    if (account.question.find_first_of("<>&\"") != std::string::npos)
        return "提示问题不能包含 < > & \" 这些符号。";
    return std::nullopt;
}

bool isNewsItem(int id)
{
    return id == 1 || (id >= 7 && id <= 13);
}

bool isSettableNewsItem(int id)
{
    return isNewsItem(id) && id != 11;
}

std::string defaultNews(int id)
{
    switch (id) {
    case 1:
        return std::string(stack::kCommunityLabel);
    case 7:
        return "欢迎使用 Kestrova 驾考理论练习！科目一、科目四题库在线练习，真人语音读题，祝您一次通过考试。";
    case 8:
        return std::string(stack::kSpeechLabel);
    case 9:
        return std::string(stack::kBankLabel);
    case 10:
        return "1.0";
    case 11:
        return "0";
    case 12:
        return "1";
    case 13:
        return "Kestrova 驾考理论练习 1.0：科目一、科目四理论题库，顺序、随机、考试三种模式，语音读题和讲解，"
               "考友在线交流。题库依据现行道路交通安全法律法规编写。";
    default:
        return {};
    }
}

std::optional<std::string> newsProblem(const std::string& utf8)
{
    if (!representable(utf8))
        return "notice text must be UTF-8 whose characters all exist in GBK";
    if (hasControl(utf8))
        return "notice text may not contain control characters or line breaks";
    if (utf8.find_first_of("<>") != std::string::npos)
        return "notice text may not contain < or >";
    if (gbkLength(utf8) > kMaxNewsBytes)
        return "notice text is longer than 2000 bytes";
    return std::nullopt;
}

std::optional<std::string> createAccount(Store& store, const NewAccount& account, bool withRecovery,
                                         bool chatAdmin, HashCost cost)
{
    if (auto problem = accountProblem(account, withRecovery))
        return problem;
    if (store.findUser(account.name))
        return "对不起，您需要的用户名已经被别人捷足先登了！另选一个吧。";
    const auto hash = hashPassword(account.password, cost);
    if (!hash)
        return "服务器忙，请稍后再试。";
    NewUser user{account.name, *hash, account.question, account.answer, account.fullName, chatAdmin};
    if (!store.addUser(user))
        return "对不起，您需要的用户名已经被别人捷足先登了！另选一个吧。";
    return std::nullopt;
}

// --- the service -------------------------------------------------------------------------------

AccountService::AccountService(Store& store, AccountOptions options) : m_store(store), m_options(options)
{
    initialiseCrypto();
}

Response AccountService::handle(const Request& request)
{
    const std::string path = toLowerAscii(request.path);
    const std::string root = serviceRoot();
    const std::string action = toLowerAscii(queryValue(request.query, "xAction").value_or(std::string()));
    const bool post = request.method == "POST";

    if (path == root + "/oth1.asp") {
        if (action == "xchklogin")
            return post ? login(request) : errorPage(405, "登录请用 POST 提交。");
        if (action == "adduser2")
            return post ? registration(request) : errorPage(405, "注册请用 POST 提交。");
        if (action == "xlogout")
            return logout(request);
    } else if (path == root + "/index.asp") {
        if (action == "xreadnews")
            return notice(request);
        if (action == "getpwd2")
            return post ? recoveryStepOne(request) : errorPage(405, "请用 POST 提交。");
        if (action == "getpwd3")
            return post ? recoveryStepTwo(request) : errorPage(405, "请用 POST 提交。");
        if (action == "getpwd4")
            return post ? recoveryStepThree(request) : errorPage(405, "请用 POST 提交。");
    }
    return errorPage(404, "没有这个页面。");
}

Millis AccountService::lockedFor(const FailureCount& count, Millis now) const
{
    if (count.failures < m_options.freeFailures)
        return 0;
    Millis lock = m_options.firstLock.count();
    for (int i = m_options.freeFailures; i < count.failures && lock < m_options.maxLock.count(); ++i)
        lock *= 2;
    lock = std::min<Millis>(lock, m_options.maxLock.count());
    const Millis until = count.lastFailureAt + lock;
    return until > now ? until - now : 0;
}

Response AccountService::login(const Request& request)
{
    static constexpr std::string_view kKeys[] = {"UserName", "Passwd", "Submit"};
    const auto values = orderedFormValues(request.body, kKeys);
    if (!values)
        return refusedLogin("提交的表单不完整。", m_options.refusalDelay);
    const auto name = typedValue((*values)[0]);
    const auto password = typedValue((*values)[1]);
    if (!name || !password)
        return refusedLogin("提交的文字不是有效的 GBK 编码。", m_options.refusalDelay);

    const Millis now = nowMillis();
    const std::string key = "login:" + *name;
    if (const Millis wait = lockedFor(m_store.failures(key), now); wait > 0)
        return refusedLogin("该用户名登录失败次数过多，请 " + std::to_string((wait + 999) / 1000) +
                                " 秒后再试。",
                            m_options.refusalDelay);

    const auto user = name->empty() ? std::nullopt : m_store.findUser(*name);
    if (!user)
        spendVerificationTime(m_options.cost);
    if (!user || !verifyPassword(user->passwordHash, *password)) {
        m_store.recordFailure(key, now);
        return refusedLogin("用户名或密码错误。", m_options.refusalDelay);
    }
    m_store.clearFailures(key);
    // Expired sessions are swept here, so the table does not grow with a long-running stack.
    m_store.purgeExpiredSessions(now);

    const std::string token = randomToken();
    m_store.createSession(tokenDigest(token), user->id, now, now + m_options.sessionLifetime.count());
    Response response = pageResponse("会员登录", "<p>登录成功！欢迎您，" + htmlEscape(user->name) + "。</p>");
    const auto maxAge = std::chrono::duration_cast<std::chrono::seconds>(m_options.sessionLifetime).count();
    response.headers.push_back({"Set-Cookie", std::string(kSessionCookie) + "=" + token +
                                                  "; Path=/; Max-Age=" + std::to_string(maxAge) +
                                                  "; HttpOnly"});
    return response;
}

Response AccountService::logout(const Request& request)
{
    const std::string token = cookieValue(request.header("Cookie"), kSessionCookie);
    if (!token.empty())
        m_store.deleteSession(tokenDigest(token));
    Response response = pageResponse("会员登录", "<p>您已安全退出。</p>");
    response.headers.push_back(
        {"Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly"});
    return response;
}

Response AccountService::notice(const Request& request)
{
    const std::string rawId = queryValue(request.query, "NewsID").value_or(std::string());
    int id = 0;
    const auto [end, error] = std::from_chars(rawId.data(), rawId.data() + rawId.size(), id);
    if (rawId.empty() || error != std::errc() || end != rawId.data() + rawId.size() || !isNewsItem(id))
        return errorPage(404, "没有这条公告。");

    std::string value;
    if (id == 11) {
        // The chat-clearing right of whoever holds the session; "0" without one.
        const std::string token = cookieValue(request.header("Cookie"), kSessionCookie);
        std::optional<UserRecord> user;
        if (!token.empty())
            user = m_store.touchSession(tokenDigest(token), nowMillis());
        value = user && user->chatAdmin ? "1" : "0";
    } else {
        // Reading notices counts as activity of a logged-in session (the online count).
        const std::string token = cookieValue(request.header("Cookie"), kSessionCookie);
        if (!token.empty())
            m_store.touchSession(tokenDigest(token), nowMillis());
        value = m_store.news(id).value_or(defaultNews(id));
    }

    if (id == 7) {
        return pageResponse("公告",
                            "<table width=\"100%\"><tr><td><marquee scrollamount=\"3\"><FONT color=>" +
                                value + "</font></marquee></td></tr></table>");
    }
    return pageResponse("公告", "<table width=\"100%\"><tr>" + std::string(kNoticeLeft) + value +
                                    std::string(kNoticeRight) + "</table>");
}

Response AccountService::registration(const Request& request)
{
    static constexpr std::string_view kKeys[] = {"username", "passwd", "passwd2",   "question",   "answer",
                                                 "fullname", "sex",    "birthyear", "birthmonth", "birthday",
                                                 "tel",      "email",  "content",   "cmdOk"};
    const auto failure = [](std::string_view message, int status) {
        return pageResponse("会员注册",
                            "<p><font color=\"red\">注册失败：</font>" + htmlEscape(message) +
                                "</p>\r\n<p><a href=\"javascript:history.back()\">返回修改</a></p>",
                            status);
    };
    const auto values = orderedFormValues(request.body, kKeys);
    if (!values)
        return failure("提交的表单不完整。", 400);
    NewAccount account;
    std::string repeated;
    const std::array<std::string*, 6> targets{&account.name,     &account.password, &repeated,
                                              &account.question, &account.answer,   &account.fullName};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const auto value = typedValue((*values)[i]);
        if (!value)
            return failure("提交的文字不是有效的 GBK 编码。", 400);
        *targets[i] = *value;
    }
    if (repeated != account.password)
        return failure("两次输入的密码不一致。", 400);
    if (auto problem = createAccount(m_store, account, true, false, m_options.cost))
        return failure(*problem, 409);
    return pageResponse("会员注册", "<p>恭喜您！会员注册成功！现在您可以从首页的会员登录处登录。</p>");
}

Response AccountService::recoveryStepOne(const Request& request)
{
    static constexpr std::string_view kKeys[] = {"username", "submit"};
    const auto values = orderedFormValues(request.body, kKeys);
    if (!values)
        return errorPage(400, "提交的表单不完整：应为 username=用户名&submit=…");
    const auto name = typedValue((*values)[0]);
    if (!name)
        return errorPage(400, "提交的用户名不是有效的 GBK 编码。");
    const auto user = name->empty() ? std::nullopt : m_store.findUser(*name);
    if (!user)
        return pageResponse("找回密码", "<p><font color=\"red\">对不起，您输入的用户不存在！</font></p>",
                            404);
    if (user->question.empty() || user->answer.empty())
        return pageResponse("找回密码", "<p>对不起，该用户没有设置提示问题，无法找回密码，请联系管理员。</p>",
                            409);
    // The hint question must be the page's first red text: the client cuts it from there.
    return pageResponse(
        "找回密码",
        "<p>第二步：回答提示问题。</p>\r\n<p>您的用户名：" + htmlEscape(user->name) +
            "</p>\r\n<p>提示问题：<font color=\"red\">" + user->question +
            "</font></p>\r\n<form method=\"post\" action=\"index.asp?xAction=getpwd3&amp;xusername=" +
            htmlEscape(user->name) +
            "\">\r\n<p>问题答案：<input name=\"answer\"></p>\r\n<p>您的真实姓名：<input "
            "name=\"fullname\"></p>\r\n<p><input type=\"submit\" name=\"submit\" value=\" 到下一步 "
            "\"></p>\r\n</form>");
}

Response AccountService::recoveryStepTwo(const Request& request)
{
    static constexpr std::string_view kKeys[] = {"answer", "fullname", "submit"};
    const auto refuse = [this](std::string_view why) {
        Response response =
            pageResponse("找回密码",
                         "<p><font color=\"red\">对不起，您输入的答案或者真实姓名错误！</font></p>\r\n<p>" +
                             htmlEscape(why) + "</p>",
                         403);
        response.delay = m_options.refusalDelay;
        return response;
    };
    const auto name = userNameFromQuery(request);
    const auto values = orderedFormValues(request.body, kKeys);
    if (!name || !values)
        return refuse("提交的内容不完整或编码无效。");
    const auto answer = encodedValue((*values)[0]);
    const auto fullName = encodedValue((*values)[1]);
    if (!answer || !fullName)
        return refuse("提交的内容编码无效。");

    const Millis now = nowMillis();
    const std::string key = "recover:" + *name;
    if (const Millis wait = lockedFor(m_store.failures(key), now); wait > 0)
        return refuse("尝试次数过多，请 " + std::to_string((wait + 999) / 1000) + " 秒后再试。");
    const auto user = m_store.findUser(*name);
    // A user without recovery details can never pass, not even with empty answers.
    if (!user || user->answer.empty() || user->fullName.empty() || *answer != user->answer ||
        *fullName != user->fullName) {
        m_store.recordFailure(key, now);
        return refuse("请检查后重新输入。");
    }
    m_store.clearFailures(key);
    m_store.grantRecovery(user->id, now);
    return pageResponse("找回密码",
                        "<p>第三步：重新设置密码。</p>\r\n<form method=\"post\" "
                        "action=\"index.asp?xAction=getpwd4&amp;xusername=" +
                            htmlEscape(user->name) +
                            "\">\r\n<p>请输入新密码：<input type=\"password\" name=\"passwd\"></p>\r\n"
                            "<p><input type=\"submit\" name=\"submit\" value=\" 到下一步 \"></p>\r\n</form>");
}

Response AccountService::recoveryStepThree(const Request& request)
{
    static constexpr std::string_view kKeys[] = {"passwd", "submit"};
    const auto failure = [](std::string_view message, int status) {
        return pageResponse("找回密码",
                            "<p><font color=\"red\">密码没有修改：</font>" + htmlEscape(message) + "</p>",
                            status);
    };
    const auto name = userNameFromQuery(request);
    const auto values = orderedFormValues(request.body, kKeys);
    if (!name || !values)
        return failure("提交的内容不完整或编码无效。", 400);
    const auto password = encodedValue((*values)[0]);
    if (!password)
        return failure("提交的内容编码无效。", 400);
    if (auto problem = passwordProblem(*password))
        return failure(*problem, 400);
    const auto hash = hashPassword(*password, m_options.cost);
    if (!hash)
        return failure("服务器忙，请稍后再试。", 503);
    const Millis since = nowMillis() - m_options.recoveryWindow.count();
    if (!m_store.completeRecovery(*name, *hash, since))
        return failure("请先回答提示问题（第二步），并在五分钟内设置新密码。", 403);
    return pageResponse("找回密码", "<p>密码重置成功！请用新密码登录。</p>");
}

} // namespace kestrova::services
