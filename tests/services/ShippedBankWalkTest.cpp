// The shipped bank, imported into a stack and walked index by index the way the client's
// sequential and random modes read it: every index of both subjects answers a question whose
// pieces carry the text, options, answer, picture and explanation of its entry.
#include "StackFixture.h"
#include "bank/BankImport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <net/HttpClient.h>
#include <net/TextOps.h>
#include <nlohmann/json.hpp>

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kShippedBank = KESTROVA_SHIPPED_BANK_DIR;

TEST(ShippedBank, EveryIndexOfBothSubjectsAnswersItsQuestion)
{
    TestStack stack;
    services::BankSummary summary;
    ASSERT_EQ(services::importBank(stack.store(),
                                   {kShippedBank / "subject1.json", kShippedBank / "subject4.json"},
                                   kShippedBank / "pictures", &summary),
              "");
    EXPECT_EQ(summary.questions, 974 + 238);

    int pictures = 0;
    for (const char* file : {"subject1.json", "subject4.json"}) {
        std::ifstream in(kShippedBank / file);
        const json bank = json::parse(in);
        for (const json& entry : bank["questions"]) {
            const int index = entry["index"];
            const std::string body = net::httpFetch(
                "http://tiku.kestrova.test/test/2013abcd/ajax.asp?r=&index=" + std::to_string(index));
            const auto pieces = net::splitText(net::bytesToText(body), "\"");
            ASSERT_GE(pieces.size(), 36u) << "index " << index << " has no question";
            EXPECT_EQ(pieces[7], gbk(entry["question"])) << index;
            for (int option = 0; option < 4; ++option)
                EXPECT_EQ(pieces[11 + 4 * option], gbk(entry["options"][option])) << index;
            EXPECT_EQ(pieces[27], entry["answer"].get<std::string>()) << index;
            EXPECT_EQ(pieces[35], gbk(entry["explanation"])) << index;

            const std::string picture = pieces[31];
            EXPECT_EQ(picture.empty(), entry["picture"].get<std::string>().empty()) << index;
            if (picture.empty())
                continue;
            // A still picture to the client: the fourth piece at "." is not "swf".
            const auto dotted = net::splitText(picture, ".");
            ASSERT_GE(dotted.size(), 4u) << picture;
            EXPECT_NE(dotted[3], "swf") << picture;
            const std::string png = net::httpFetch(picture);
            EXPECT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n")) << index << ": " << picture;
            ++pictures;
        }
    }
    EXPECT_GT(pictures, 0);
}

} // namespace
} // namespace kestrova::test
