// The SQLite backend: migrations, persistence across opens, all-or-nothing bank replacement,
// recovery grants, sessions.
#include "store/Store.h"

#include "StackFixture.h"

#include <gtest/gtest.h>

namespace kestrova::test {
namespace {

using namespace kestrova::services;

std::unique_ptr<Store> open(const TempDir& dir)
{
    std::string error;
    auto store = openSqliteStore((dir.path() / "sub" / "s.sqlite").string(), error);
    EXPECT_TRUE(store) << error;
    return store;
}

Question makeQuestion(int index, std::string text)
{
    Question q;
    q.index = index;
    q.subject = "科目一";
    q.text = std::move(text);
    q.answer = "1";
    q.explanation = "e";
    return q;
}

TEST(Store, ReopeningKeepsDataAndMigratesOnce)
{
    TempDir dir;
    {
        auto store = open(dir);
        ASSERT_TRUE(store->addUser({"kim", "hash", "q", "a", "f", false}));
        store->setNews(7, "hello", 1);
    }
    auto store = open(dir);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->findUser("kim")->passwordHash, "hash");
    EXPECT_EQ(store->news(7), "hello");
    EXPECT_FALSE(store->addUser({"kim", "other", "", "", "", false}));
    EXPECT_FALSE(store->news(8));
}

TEST(Store, AFailingBankReplacementChangesNothing)
{
    TempDir dir;
    auto store = open(dir);
    BankReplacement first;
    first.sources = {{"科目一", "d1"}};
    first.questions = {makeQuestion(1, "one")};
    store->replaceBank(first, 1);
    const auto version = store->bankVersion();

    BankReplacement broken;
    broken.sources = {{"科目一", "d2"}};
    broken.questions = {makeQuestion(2, "two"), makeQuestion(2, "two again")}; // same key twice
    EXPECT_THROW(store->replaceBank(broken, 2), StoreError);
    EXPECT_EQ(store->bankVersion(), version);
    EXPECT_EQ(store->bankDigest("科目一"), "d1");
    ASSERT_TRUE(store->question(1));
    EXPECT_EQ(store->question(1)->text, "one");
    EXPECT_FALSE(store->question(2));
}

TEST(Store, PicturesNoQuestionUsesAreDropped)
{
    TempDir dir;
    auto store = open(dir);
    BankReplacement bank;
    bank.sources = {{"科目一", "d"}};
    bank.questions = {makeQuestion(1, "one")};
    bank.questions[0].picture = "a/b.svg";
    bank.pictures = {{"a/b.svg", "<svg/>", "png"}, {"a/unused.svg", "<svg/>", "png"}};
    store->replaceBank(bank, 1);
    EXPECT_TRUE(store->picturePng("a/b.svg"));
    EXPECT_FALSE(store->picturePng("a/unused.svg"));
}

TEST(Store, SessionsExpireAndPasswordChangesEndThem)
{
    TempDir dir;
    auto store = open(dir);
    ASSERT_TRUE(store->addUser({"lee", "h", "q", "a", "f", false}));
    const auto user = store->findUser("lee");
    store->createSession("s1", user->id, 1000, 2000);
    EXPECT_TRUE(store->touchSession("s1", 1500));
    EXPECT_FALSE(store->touchSession("s1", 2000));
    store->createSession("s2", user->id, 1000, 1'000'000);
    ASSERT_TRUE(store->setPassword("lee", "h2"));
    EXPECT_FALSE(store->touchSession("s2", 1500));
}

TEST(Store, RecoveryGrantsAreSingleUseAndTimed)
{
    TempDir dir;
    auto store = open(dir);
    ASSERT_TRUE(store->addUser({"max", "old", "q", "a", "f", false}));
    EXPECT_FALSE(store->completeRecovery("max", "new", 0));
    store->grantRecovery(store->findUser("max")->id, 1000);
    EXPECT_FALSE(store->completeRecovery("max", "new", 1001)); // too old
    EXPECT_TRUE(store->completeRecovery("max", "new", 1000));
    EXPECT_EQ(store->findUser("max")->passwordHash, "new");
    EXPECT_FALSE(store->completeRecovery("max", "newer", 0));
}

TEST(Store, FailureCounts)
{
    TempDir dir;
    auto store = open(dir);
    EXPECT_EQ(store->failures("k").failures, 0);
    store->recordFailure("k", 10);
    const auto count = store->recordFailure("k", 20);
    EXPECT_EQ(count.failures, 2);
    EXPECT_EQ(count.lastFailureAt, 20);
    store->clearFailures("k");
    EXPECT_EQ(store->failures("k").failures, 0);
}

TEST(Store, UnopenableDatabaseIsAnErrorValue)
{
    std::string error;
    EXPECT_FALSE(openSqliteStore("/proc/no/such/dir/s.sqlite", error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace kestrova::test
