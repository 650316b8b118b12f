#include "net/ServicePath.h"

#include "RecordingServer.h"
#include "net/Deployment.h"
#include "net/HttpClient.h"

#include <gtest/gtest.h>

using namespace kestrova::net;
using kestrova::test::RawRequest;
using kestrova::test::RecordingServer;

namespace {

const std::string kStart = "));</script><title>";
const std::string kEnd = " [http://8016.profile.kestrova.test]</title>";

struct PageCase
{
    const char* name;
    std::string page;
    std::string expected;
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name;
}

class ServicePathFromPageTest : public testing::TestWithParam<PageCase>
{
};

TEST_P(ServicePathFromPageTest, CutsTheSegmentOutOfTheTitle)
{
    EXPECT_EQ(servicePathFromPage(GetParam().page, "8016", "profile.kestrova.test"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServicePathFromPageTest,
    testing::Values(PageCase{"simple", "<html>" + kStart + "abc" + kEnd + "<body>", "abc"},
                    PageCase{"lastStartMarkerCounts", kStart + "old" + kEnd + kStart + "new" + kEnd, "new"},
                    PageCase{"spacesKept", kStart + " a b " + kEnd, " a b "},
                    PageCase{"gbkSegment", kStart + "\xBF\xC6" + kEnd, "\xBF\xC6"},
                    // Not the profile page: no segment rather than the whole page as one.
                    PageCase{"noStartMarker", "<title>abc" + kEnd, ""},
                    PageCase{"noEndMarker", kStart + "abc</title>", ""},
                    PageCase{"endMarkerOfAnotherProfile",
                             kStart + "abc [http://9.profile.kestrova.test]</title>", ""},
                    PageCase{"emptySegment", kStart + kEnd, ""},
                    PageCase{"pageEndsWithStartMarker", "x" + kStart, ""}, PageCase{"emptyPage", "", ""}),
    [](const testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST(LookUpServicePath, FetchesTheProfilePageAndReadsItsTitle)
{
    RecordingServer server([](const RawRequest& r) {
        if (r.requestLine() == "GET /8016 HTTP/1.0")
            return RecordingServer::answer("<html><script>f(" + kStart + "驾考" + kEnd + "</html>");
        return RecordingServer::answer("unexpected");
    });
    Deployment values = Deployment::defaults();
    values.gateway = server.address();
    setDeployment(values);
    // The page is UTF-8; the segment comes back as GBK text.
    EXPECT_EQ(lookUpServicePath("8016"), toGbk("驾考"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].hasHeaderLine("Host: profile.kestrova.test"));
}

TEST(LookUpServicePath, AnUnreadablePageGivesNoSegment)
{
    RecordingServer server(
        [](const RawRequest&) { return RecordingServer::answer(kStart + "\xFF\xFE" + kEnd); });
    Deployment values = Deployment::defaults();
    values.gateway = server.address();
    setDeployment(values);
    EXPECT_EQ(lookUpServicePath("8016"), "");
}

} // namespace
