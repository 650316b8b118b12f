// The question bank: import checks, the endpoint read the way the client reads it (split at
// double quotes, fixed pieces), pictures, export round trip.
#include "StackFixture.h"
#include "bank/BankImport.h"
#include "bank/BankService.h"

#include <gtest/gtest.h>
#include <net/HttpClient.h>
#include <net/TextOps.h>
#include <nlohmann/json.hpp>

namespace kestrova::test {
namespace {

using namespace kestrova::services;
using nlohmann::json;
namespace fs = std::filesystem;

const char* kSignSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" viewBox="0 0 100 100">
<circle cx="50" cy="50" r="45" fill="#fff" stroke="#c00" stroke-width="10"/></svg>)";

json question(int index, std::string text, std::vector<std::string> options, std::string answer,
              std::string picture = "")
{
    return {{"index", index},   {"question", text},   {"options", options},
            {"answer", answer}, {"picture", picture}, {"explanation", "依据《道路交通安全法》第三十八条。"},
            {"topic", "signs"}};
}

json subjectOne()
{
    return {
        {"subject", "科目一"},
        {"questions",
         {question(1, "这个标志是何含义？", {"禁止通行", "禁止驶入", "减速让行", "停车让行"}, "1",
                   "signs/no-through-3.5.svg"),
          question(2, "驾驶机动车在道路上违反道路交通安全法的行为，属于什么行为？", {"", "", "", ""}, "2"),
          question(974, "机动车驾驶人初次申领驾驶证后的实习期是多长时间？",
                   {"6个月", "12个月", "16个月", "18个月"}, "2")}}};
}

json subjectFour()
{
    return {{"subject", "科目四"},
            {"questions",
             {question(1536, "雨天行车，下列哪些做法是正确的？",
                       {"降低车速", "加大跟车距离", "开启近光灯", "紧急制动"}, "123"),
              question(1773, "夜间会车时应当使用远光灯。", {"", "", "", ""}, "2")}}};
}

class Bank : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(bankDir() / "pictures" / "signs" / "no-through-3.5.svg", kSignSvg);
        write("subject1.json", subjectOne());
        write("subject4.json", subjectFour());
    }

    fs::path bankDir() const { return m_stack.dir() / "bank"; }
    void write(const std::string& file, const json& document)
    {
        writeFile(bankDir() / file, document.dump(1));
    }
    std::string import(const std::vector<std::string>& files)
    {
        std::vector<fs::path> paths;
        for (const auto& f : files)
            paths.push_back(bankDir() / f);
        return importBank(m_stack.store(), paths, bankDir() / "pictures");
    }
    static std::vector<std::string> fetch(int index)
    {
        const std::string body = net::httpFetch("http://tiku.kestrova.test/test/2013abcd/ajax.asp?r=&index=" +
                                                std::to_string(index));
        return net::splitText(net::bytesToText(body), "\"");
    }

    TestStack m_stack;
};

TEST_F(Bank, QuestionsReadTheWayTheClientReadsThem)
{
    ASSERT_EQ(import({"subject1.json", "subject4.json"}), "");

    const auto choice = fetch(1);
    ASSERT_GE(choice.size(), 36u);
    EXPECT_EQ(choice[7], gbk("这个标志是何含义？"));
    EXPECT_EQ(choice[9], "A");
    EXPECT_EQ(choice[11], gbk("禁止通行"));
    EXPECT_EQ(choice[21], "D");
    EXPECT_EQ(choice[23], gbk("停车让行"));
    EXPECT_EQ(choice[27], "1");
    EXPECT_EQ(choice[35], gbk("依据《道路交通安全法》第三十八条。"));
    // A still picture (the fourth piece at "." is not "swf"), served as PNG.
    const std::string picture = choice[31];
    const auto dotted = net::splitText(picture, ".");
    ASSERT_GE(dotted.size(), 4u);
    EXPECT_NE(dotted[3], "swf");
    const std::string png = net::httpFetch(picture);
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");

    const auto trueFalse = fetch(2);
    ASSERT_GE(trueFalse.size(), 36u);
    for (int piece : {11, 15, 19, 23})
        EXPECT_EQ(trueFalse[piece], "") << piece;
    EXPECT_EQ(trueFalse[27], "2");
    EXPECT_EQ(trueFalse[31], "");

    EXPECT_EQ(fetch(1536)[27], "123");
    EXPECT_EQ(fetch(1773)[7], gbk("夜间会车时应当使用远光灯。"));
    EXPECT_EQ(fetch(974)[27], "2");
}

TEST_F(Bank, MissingIndexesAndBadRequests)
{
    ASSERT_EQ(import({"subject1.json"}), "");
    for (int index : {3, 0, 975, 999999})
        EXPECT_LT(fetch(index).size(), 36u) << index;
    for (const std::string query : {"r=&index=", "r=&index=abc", "r=&index=-1", "r=", "r=&index=1x"})
        EXPECT_LT(
            net::splitText(net::httpFetch("http://tiku.kestrova.test/test/2013abcd/ajax.asp?" + query), "\"")
                .size(),
            36u)
            << query;
    EXPECT_TRUE(net::httpFetch("http://tiku.kestrova.test/pictures/signs/unknown.png").find("404") !=
                std::string::npos);
    EXPECT_TRUE(net::httpFetch("http://tiku.kestrova.test/pictures/../stack.sqlite").find("SQLite") ==
                std::string::npos);
}

TEST_F(Bank, BadFilesAreRefusedWholeNamingEntryAndFault)
{
    ASSERT_EQ(import({"subject1.json", "subject4.json"}), "");
    const std::int64_t versionBefore = m_stack.store().bankVersion();

    struct Case
    {
        const char* what;
        std::function<void(json&)> spoil; // applied to subject 1's second question (index 2)
        const char* fault;
    };
    const Case cases[] = {
        {"answer digit 5", [](json& q) { q["answer"] = "5"; }, "digits 1 to 4"},
        {"answer not ascending",
         [](json& q) {
             q["options"] = {"a", "b", "c", "d"};
             q["answer"] = "31";
         },
         "ascending"},
        {"true/false answered 3", [](json& q) { q["answer"] = "3"; }, "answer 1 or 2"},
        {"some options empty",
         [](json& q) {
             q["options"] = {"a", "", "c", "d"};
         },
         "all four"},
        {"three options",
         [](json& q) {
             q["options"] = {"a", "b", "c"};
         },
         "four texts"},
        {"double quote", [](json& q) { q["question"] = "say \"hi\""; }, "double quote"},
        {"missing picture", [](json& q) { q["picture"] = "signs/nowhere.svg"; }, "cannot be read"},
        {"picture not svg", [](json& q) { q["picture"] = "signs/x.png"; }, "<folder>/<name>.svg"},
        {"picture served like a flash clip", [](json& q) { q["picture"] = "signs/a.swf.svg"; },
         "<folder>/<name>.svg"},
        {"index outside range", [](json& q) { q["index"] = 1536; }, "outside"},
        {"duplicate index", [](json& q) { q["index"] = 1; }, "earlier question"},
        {"empty explanation", [](json& q) { q["explanation"] = ""; }, "explanation"},
        {"character GBK lacks", [](json& q) { q["question"] = "emoji 😀"; }, "GBK"},
        {"line break", [](json& q) { q["explanation"] = "a\nb"; }, "control character"},
        {"answer not text", [](json& q) { q["answer"] = 1; }, "not a text"},
    };
    for (const Case& c : cases) {
        json document = subjectOne();
        c.spoil(document["questions"][1]);
        write("subject1.json", document);
        const std::string error = import({"subject4.json", "subject1.json"});
        EXPECT_NE(error.find("subject1.json: question 2"), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(c.fault), std::string::npos) << c.what << ": " << error;
    }
    // Nothing of the good subject 4 file or of any bad file went in.
    EXPECT_EQ(m_stack.store().bankVersion(), versionBefore);
    EXPECT_EQ(m_stack.store().questions("科目一").size(), 3u);
}

TEST_F(Bank, BrokenPictureAndBrokenJsonAreRefused)
{
    writeFile(bankDir() / "pictures" / "signs" / "no-through-3.5.svg", "<svg this is not xml");
    EXPECT_NE(import({"subject1.json"}).find("does not render"), std::string::npos);
    writeFile(bankDir() / "subject1.json", "{\"subject\": \"科目一\", \"questions\": [");
    EXPECT_NE(import({"subject1.json"}).find("not valid JSON"), std::string::npos);
    write("subject1.json", json{{"subject", "科目二"}, {"questions", json::array()}});
    EXPECT_NE(import({"subject1.json"}).find("neither"), std::string::npos);
    EXPECT_TRUE(m_stack.store().questions("科目一").empty());
}

TEST_F(Bank, ExportImportsBackUnchanged)
{
    ASSERT_EQ(import({"subject1.json", "subject4.json"}), "");
    const fs::path out = m_stack.dir() / "exported";
    ASSERT_EQ(exportBank(m_stack.store(), out), "");

    TempDir other;
    std::string error;
    auto copy = openSqliteStore((other.path() / "copy.sqlite").string(), error);
    ASSERT_TRUE(copy) << error;
    ASSERT_EQ(importBank(*copy, {out / "subject1.json", out / "subject4.json"}, out / "pictures"), "");
    for (const char* subject : {"科目一", "科目四"}) {
        const auto a = m_stack.store().questions(subject);
        const auto b = copy->questions(subject);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].text, b[i].text);
            EXPECT_EQ(a[i].options, b[i].options);
            EXPECT_EQ(a[i].answer, b[i].answer);
            EXPECT_EQ(a[i].picture, b[i].picture);
            EXPECT_EQ(a[i].explanation, b[i].explanation);
        }
    }
    EXPECT_EQ(copy->picture("signs/no-through-3.5.svg")->svg, kSignSvg);
}

TEST_F(Bank, StartupSyncImportsOnlyChangedFiles)
{
    EXPECT_NE(syncBank(m_stack.store(), bankDir()).find("imported 5 questions"), std::string::npos);
    const auto version = m_stack.store().bankVersion();
    EXPECT_NE(syncBank(m_stack.store(), bankDir()).find("matches"), std::string::npos);
    EXPECT_EQ(m_stack.store().bankVersion(), version);
    // A redrawn picture is a change too.
    writeFile(bankDir() / "pictures" / "signs" / "no-through-3.5.svg", std::string(kSignSvg) + "\n");
    EXPECT_NE(syncBank(m_stack.store(), bankDir()).find("imported"), std::string::npos);
    // A broken file leaves the bank as it was.
    writeFile(bankDir() / "subject1.json", "[]");
    EXPECT_NE(syncBank(m_stack.store(), bankDir()).find("stays"), std::string::npos);
    EXPECT_EQ(m_stack.store().questions("科目一").size(), 3u);
}

TEST_F(Bank, AnswersFollowANewImport)
{
    BankService service(m_stack.store(), std::chrono::milliseconds(0));
    Request request;
    request.method = "GET";
    request.path = "/test/2013abcd/ajax.asp";
    request.query = "r=&index=974";
    ASSERT_EQ(import({"subject1.json"}), "");
    EXPECT_NE(service.handle(request).body.find(gbk("实习期")), std::string::npos);

    json document = subjectOne();
    document["questions"][2]["question"] = "新的题目文字";
    write("subject1.json", document);
    ASSERT_EQ(import({"subject1.json"}), "");
    EXPECT_NE(service.handle(request).body.find(gbk("新的题目文字")), std::string::npos);
}

} // namespace
} // namespace kestrova::test
