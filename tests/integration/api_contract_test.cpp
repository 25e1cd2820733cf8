// The JSON interface against its own OpenAPI document: the real host serves
// the document and every endpoint; node validates the document with an
// OpenAPI validator and every answer with the document's schemas
// (tests/browser/api.test.mjs).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host_process.h"
#include "node_test_run.h"

namespace kxrit {
namespace {

TEST(ApiContract, EveryAnswerMatchesTheServedOpenApiDocument) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the ffmpeg tool makes the test clips";
    HostProcess host;
    // Two test patterns, so that the two clips' pictures differ; ten seconds
    // long, so that a clip still plays when a slow machine's event stream
    // reports it.
    for (const char* name : {"alpha", "beta"}) {
        const std::string command =
            std::string("ffmpeg -y -v error -f lavfi -i ") +
            (name[0] == 'a' ? "testsrc" : "testsrc2") + "=size=160x120:rate=25 -t 10 -c:v mjpeg " +
            (host.Dir() / "media" / (std::string(name) + ".mov")).string() + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    const std::filesystem::path files = host.Dir() / "files";
    kxrtest::WriteFile(files / "notes.txt", "notes\n");
    kxrtest::WriteFile(files / "sub" / "inner.txt", "inside\n");
    ASSERT_TRUE(host.Start("[KXR.NetServer.FileDirs]\nMedia = '" + files.string() + "'\n",
                           "MaxEventStreams = 1\n"))
        << host.Failure();

    RunNodeTest("api.test.mjs", host);
}

} // namespace
} // namespace kxrit
