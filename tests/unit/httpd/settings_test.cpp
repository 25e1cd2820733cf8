#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/server_settings.h"
#include "httpd_test_support.h"
#include "kxr/rvutil.h"

namespace kxr::httpd {
namespace {

std::vector<std::string> errLines;
void CollectErr(uint32_t, const char* line) {
    errLines.emplace_back(line);
}

class OptionParserTest : public testing::Test {
protected:
    void SetUp() override {
        SetServerDefaults();
        errLines.clear();
        rvSetErrSink(CollectErr);
    }
    void TearDown() override {
        rvSetErrSink(nullptr);
        SetServerDefaults();
    }
    void Parse(std::vector<const char*> argv) {
        ParseServerOptions(static_cast<int>(argv.size()), argv.data());
    }
    test::TempTree tree;
};

TEST_F(OptionParserTest, DefaultsAreTheBuiltInOnes) {
    const ServerSettings& s = GetServerSettings();
    EXPECT_EQ(s.port, 80u);
    EXPECT_EQ(s.interface, nullptr);
    EXPECT_STREQ(s.logFileName, "localwebsvr.log");
    EXPECT_STREQ(s.documentRoot, "C:\\Share\\inetpub");
    EXPECT_EQ(s.logEnabled, 0);
    EXPECT_EQ(s.noDirList, 0);
    EXPECT_STREQ(s.defaultDocument, "index.html");
    EXPECT_EQ(s.showServerName, 1);
}

TEST_F(OptionParserTest, PortAndRootWithTrailingBackslash) {
    const std::string root = tree.Path() + "\\";
    Parse({"-p", "8080", "-r", root.c_str()});
    EXPECT_TRUE(errLines.empty());
    EXPECT_EQ(GetServerSettings().port, 8080u);
    EXPECT_EQ(std::string(GetServerSettings().documentRoot), tree.Path());
}

TEST_F(OptionParserTest, SwitchesAndValues) {
    Parse({"/p", "81", "-i", "127.0.0.1", "--log", "x.log", "--nodirlist", "--noname", "--nolog",
           "-d", "home.htm"});
    const ServerSettings& s = GetServerSettings();
    EXPECT_TRUE(errLines.empty());
    EXPECT_EQ(s.port, 81u);
    EXPECT_STREQ(s.interface, "127.0.0.1");
    EXPECT_STREQ(s.logFileName, "x.log");
    EXPECT_EQ(s.noDirList, 1);
    EXPECT_EQ(s.showServerName, 0);
    EXPECT_EQ(s.logEnabled, 0);
    EXPECT_STREQ(s.defaultDocument, "home.htm");
    // A pending value is taken whatever it looks like; a dangling option does nothing.
    Parse({"-d", "--noname", "-d"});
    EXPECT_STREQ(GetServerSettings().defaultDocument, "--noname");
}

struct ErrorCase {
    std::vector<const char*> argv;
    std::string message;
};

TEST_F(OptionParserTest, ErrorsAreReportedAndStopTheParse) {
    const std::string file = tree.Path() + "/plain.txt";
    tree.Write("plain.txt", "x");
    const std::string missing = tree.Path() + "/none\\";
    const std::string tooLong = "/" + std::string(300, 'a');
    const std::vector<ErrorCase> cases = {
        {{"-p", "0", "--noname"}, "Bad port \"0\". Must be integer from 1 to 65535.\n"},
        {{"-p", "70000", "--noname"}, "Bad port \"70000\". Must be integer from 1 to 65535.\n"},
        {{"-p", "abc", "--noname"}, "Bad port \"abc\". Must be integer from 1 to 65535.\n"},
        {{"-p", "-5", "--noname"}, "Bad port \"-5\". Must be integer from 1 to 65535.\n"},
        {{"-r", file.c_str(), "--noname"},
         "Invalid root \"" + file + "\". Must be a valid directory.\n"},
        {{"-r", missing.c_str(), "--noname"},
         "Invalid root \"" + tree.Path() + "/none\". Must be a valid directory.\n"},
        {{"-r", tooLong.c_str(), "--noname"},
         "Invalid root \"" + tooLong + "\". Must be a valid directory.\n"},
        {{"-px", "--noname"}, "Unknown parameter \"-px\". Type \"-px --help\" for more info.\n"},
        {{"--nolog", "--ports", "--noname"},
         "Unknown parameter \"--ports\". Type \"--nolog --help\" for more info.\n"},
    };
    for (const ErrorCase& c : cases) {
        SetServerDefaults();
        errLines.clear();
        Parse(c.argv);
        ASSERT_EQ(errLines.size(), 1u) << c.argv[0];
        EXPECT_EQ(errLines[0], c.message);
        // Parsing stopped, and the rejected value changed nothing.
        EXPECT_EQ(GetServerSettings().showServerName, 1) << c.argv[0];
        EXPECT_EQ(GetServerSettings().port, 80u);
        EXPECT_STREQ(GetServerSettings().documentRoot, "C:\\Share\\inetpub");
    }
}

TEST_F(OptionParserTest, HelpPrintsUsageAndEnds) {
    for (const char* help : {"--help", "-h", "/?"}) {
        EXPECT_EXIT(Parse({"-p", "90", help}), testing::ExitedWithCode(0), "") << help;
    }
}

TEST(ServerUsage, TextNamesTheBuiltInDefaults) {
    EXPECT_EQ(
        ServerUsageText("kxr"),
        "Usage: kxr [options] (TarvikWebServer)\nOptions:\n"
        " -h, /?, --help           Display this information\n"
        " -p, --port <port>        Listen on port <port> (default 80)\n"
        " -i, --interface <ip>     Specify the interface the server listens on (default: ALL)\n"
        " -l, --log <file>         Save the log file as <file> (default: localwebsvr.log)\n"
        " --nolog                  Disables logging, overrides any '--log' setting\n"
        " -r, --root <path>        Specify the document root directory (default: "
        "C:\\Share\\inetpub)\n"
        " -d, --default <filename> Specify the default document filename in a directory "
        "(default: index.html)\n"
        " --nodirlist              Do not do any directory listings, just return a '404 File "
        "not found'\n"
        " --noname                 Do not specify server name in directory listings or HTTP "
        "headers\n");
}

TEST(ServerLog, InfoAndCriticalReachTheConsoleCut) {
    testing::internal::CaptureStdout();
    LogInfo("--- kxrHttpd2 Listening on port %d ---", 1080);
    LogInfo("%s", std::string(2000, 'i').c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "--- kxrHttpd2 Listening on port 1080 ---\n" + std::string(1023, 'i') + "\n");

    testing::internal::CaptureStderr();
    LogCritical("HTTPD: select() error %d", 10038);
    LogCritical("%s", std::string(2000, 'c').c_str());
    LogLine("never shown %d", 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "Critical: HTTPD: select() error 10038\nCritical: " + std::string(1013, 'c') + "\n");
}

} // namespace
} // namespace kxr::httpd
