// The command line: usage errors, user and news commands, bank import refusal.
#include "app/Cli.h"

#include "StackFixture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kestrova::test {
namespace {

using namespace kestrova::services;

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

CliRun run(std::vector<std::string> args, const std::string& input = {})
{
    std::ostringstream out, err;
    std::istringstream in(input);
    const int status = runCli(args, out, err, in);
    return {status, out.str(), err.str()};
}

TEST(Cli, UsageErrorsAreClear)
{
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"--help"}).status, 0);
    const CliRun unknown = run({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);
    EXPECT_EQ(run({"serve", "--help"}).status, 0);
    EXPECT_NE(run({"serve", "--port", "70000"}).err.find("--port"), std::string::npos);
    EXPECT_NE(run({"serve", "--colour"}).err.find("unknown option --colour"), std::string::npos);
    EXPECT_NE(run({"serve", "--db"}).err.find("--db needs a value"), std::string::npos);
}

TEST(Cli, UsersAndNews)
{
    TempDir dir;
    const std::string db = (dir.path() / "s.sqlite").string();
    EXPECT_EQ(run({"user", "add", "demo", "--db", db}, "secret\n").status, 0);
    const CliRun again = run({"user", "add", "demo", "--password", "x", "--db", db});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("捷足先登"), std::string::npos);
    EXPECT_EQ(run({"user", "add", "bad name", "--password", "x", "--db", db}).status, 1);
    EXPECT_EQ(run({"user", "admin", "demo", "on", "--db", db}).status, 0);
    EXPECT_EQ(run({"user", "admin", "ghost", "on", "--db", db}).status, 1);
    EXPECT_EQ(run({"user", "admin", "demo", "maybe", "--db", db}).status, 2);

    EXPECT_EQ(run({"news", "set", "12", "0", "--db", db}).status, 0);
    EXPECT_EQ(run({"news", "set", "11", "1", "--db", db}).status, 2);
    EXPECT_EQ(run({"news", "set", "5", "x", "--db", db}).status, 2);
    EXPECT_EQ(run({"news", "set", "7", "<b>bold</b>", "--db", db}).status, 2);

    std::string error;
    auto store = openSqliteStore(db, error);
    ASSERT_TRUE(store);
    const auto user = store->findUser("demo");
    ASSERT_TRUE(user);
    EXPECT_TRUE(user->chatAdmin);
    EXPECT_TRUE(verifyPassword(user->passwordHash, "secret"));
    EXPECT_EQ(store->news(12), "0");
}

TEST(Cli, BankImportRefusalChangesNothing)
{
    TempDir dir;
    const std::string db = (dir.path() / "s.sqlite").string();
    writeFile(dir.path() / "subject1.json", R"({"subject": "科目一", "questions": [{"index": 1}]})");
    const CliRun refused = run({"bank", "import", (dir.path() / "subject1.json").string(), "--db", db});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("question 1 (index 1)"), std::string::npos);
    EXPECT_EQ(run({"bank", "import", "--db", db}).status, 2);
    EXPECT_EQ(run({"bank", "export", (dir.path() / "out").string(), "--db", db}).status, 0);
}

} // namespace
} // namespace kestrova::test
