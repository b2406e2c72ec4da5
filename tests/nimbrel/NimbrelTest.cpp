#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "nimbrel/Nimbrel.h"
#include "tests/support/TempFolder.h"

namespace tavrel::testing {
namespace {

class NimbrelTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1); }
    void SetFeed(const std::string& location, const std::string& section = "1.0") {
        home.Write("config/Corvane/Tavrel.conf", "[General]\nUpdateFeed=/not/this/one\n[" +
                                                     section + "]\nUpdateFeed = " + location +
                                                     "\n");
    }
    int Check(const char* version = "1.4.2") {
        return NbCheckUpdate2("Update", 1, &request, version);
    }

    TempFolder home;
    NBREQUEST request{"TV", "ST", "Software\\Corvane\\Tavrel\\1.0",
                      "Software\\Corvane\\shared\\Tavrel"};
};

TEST_F(NimbrelTest, ComparesTheFeedsVersionWithTheRunningOne) {
    SetFeed(home.Write("feed", "# feed\nversion = 1.10\nurl=https://example.org/get\n"));
    EXPECT_EQ(Check("1.4.2"), NB_UPDATE_AVAILABLE);  // 10 > 4: numbers, not text
    EXPECT_STREQ(NbLatestVersion(), "1.10");
    EXPECT_STREQ(NbDownloadUrl(), "https://example.org/get");
    EXPECT_EQ(Check("1.10"), NB_UP_TO_DATE);
    EXPECT_EQ(Check("1.10.0"), NB_UP_TO_DATE);
    EXPECT_EQ(Check("2.0"), NB_UP_TO_DATE);
    EXPECT_TRUE(NBSUCCEED(NB_UP_TO_DATE));
    EXPECT_TRUE(NBSUCCEED(NB_UPDATE_AVAILABLE));
}

TEST_F(NimbrelTest, AFileUrlIsAFeedToo) {
    SetFeed("file://" + home.Write("feed", "version=3\n"));
    EXPECT_EQ(Check(), NB_UPDATE_AVAILABLE);
}

TEST_F(NimbrelTest, FailuresAreResultsThatDoNotSucceed) {
    EXPECT_EQ(Check(), NB_NO_FEED);  // no settings file at all
    EXPECT_EQ(NbSettingsFile(), home / "config/Corvane/Tavrel.conf");
    EXPECT_FALSE(NBSUCCEED(NB_NO_FEED));
    SetFeed(home.Write("feed", "version=2\n"), "2.0");  // another version's section
    EXPECT_EQ(Check(), NB_NO_FEED);

    SetFeed(home / "missing");
    EXPECT_EQ(Check(), NB_FEED_UNREADABLE);
    EXPECT_EQ(NbFeedLocation(), home / "missing");
    SetFeed("https://example.org/feed");
    EXPECT_EQ(Check(), NB_FEED_UNREADABLE);
    SetFeed(home.Path());  // a folder
    EXPECT_EQ(Check(), NB_FEED_UNREADABLE);

    for (const char* text : {"", "url=x\n", "version=\n", "version=1.x\n", "version=1..2\n"}) {
        SetFeed(home.Write("feed", text));
        EXPECT_EQ(Check(), NB_FEED_MALFORMED) << text;
        EXPECT_FALSE(NBSUCCEED(NB_FEED_MALFORMED));
    }
    EXPECT_EQ(NbCheckUpdate2("Update", 1, nullptr, "1.0"), NB_BAD_REQUEST);
    EXPECT_EQ(Check("not a version"), NB_BAD_REQUEST);
}

// A pipe as the feed would block a plain read until someone writes to it.
TEST_F(NimbrelTest, AFeedThatIsAPipeIsRefusedWithoutWaiting) {
    const std::string pipe = home / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    SetFeed(pipe);
    EXPECT_EQ(Check(), NB_FEED_UNREADABLE);
}

}  // namespace
}  // namespace tavrel::testing
