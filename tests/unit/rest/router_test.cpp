// The JSON face's routing: unknown paths, other methods, HEAD, the access
// check's place, and the problem documents that carry every refusal.
#include "rest/rest_router.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rest/rest_access.h"
#include "tests/support/fake_engine.h"

namespace {

using kxr::rest::Json;
using kxr::rest::Request;
using kxr::rest::Response;
using kxr::rest::Role;

Response Ask(const std::string& method, const std::string& target, const std::string& body = "",
             const std::string& headers = "") {
    const std::string bytes = method + " " + target + " HTTP/1.1\r\n" + headers +
                              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    kxr::rest::ReadFailure failure;
    const auto request = kxr::rest::ParseRequest(bytes, 4095, &failure);
    EXPECT_TRUE(request) << failure.detail;
    return request ? kxr::rest::Answer(*request) : Response{};
}

// The problem document of a refusal, checked for its fixed members.
Json ProblemOf(const Response& response) {
    EXPECT_EQ(response.contentType, "application/problem+json");
    const Json problem = Json::parse(response.body);
    EXPECT_EQ(problem["type"], "about:blank");
    EXPECT_EQ(problem["status"], response.status);
    EXPECT_FALSE(problem["title"].get<std::string>().empty());
    EXPECT_FALSE(problem["detail"].get<std::string>().empty());
    return problem;
}

class RestRouter : public ::testing::Test {
protected:
    void SetUp() override { engine_.SetResult(kOrdGetChannelCount, 2); }
    void TearDown() override { kxr::rest::SetAccessCheck(nullptr); }
    kxrtest::FakeEngine engine_;
};

TEST_F(RestRouter, UnknownPathsAndOtherMethodsAreRefusedWithProblems) {
    for (const char* target : {"/api/v1/", "/api/v1/channel", "/api/v1/channels/", "/api/v1/nope",
                               "/api/v1/channels/0/transport/x", "/api/v1/files/info/x"}) {
        const Response response = Ask("GET", target);
        EXPECT_EQ(response.status, 404) << target;
        ProblemOf(response);
    }
    const Response del = Ask("DELETE", "/api/v1/channels");
    EXPECT_EQ(del.status, 405);
    EXPECT_EQ(del.headers, "Allow: GET, HEAD\r\n");
    ProblemOf(del);
    const Response get = Ask("GET", "/api/v1/channels/0/transport");
    EXPECT_EQ(get.status, 405);
    EXPECT_EQ(get.headers, "Allow: POST\r\n");
    EXPECT_EQ(Ask("PUT", "/api/v1/events").status, 405);
}

TEST_F(RestRouter, HeadAnswersAsGet) {
    const Response get = Ask("GET", "/api/v1/channels");
    const Response head = Ask("HEAD", "/api/v1/channels");
    EXPECT_EQ(get.status, 200);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, get.body); // the router leaves the body unsent
    EXPECT_EQ(Ask("HEAD", "/api/v1/channels/0/transport").status, 405);
}

// A check as the access rules will install it: no credentials, no entry;
// the viewer may read and nothing more.
std::vector<Role> asked;
std::optional<Response> ViewerOnly(const Request& request, Role needed) {
    asked.push_back(needed);
    if (request.Header("Authorization").empty()) {
        Response refusal = kxr::rest::Problem(401, "Credentials are needed.");
        refusal.headers = "WWW-Authenticate: Basic realm=\"kxr\"\r\n";
        return refusal;
    }
    if (needed != Role::Viewer)
        return kxr::rest::Problem(403, "This needs a higher role.");
    return std::nullopt;
}

TEST_F(RestRouter, TheAccessCheckDecidesBeforeTheEndpointWithTheRoleItDeclares) {
    kxr::rest::SetAccessCheck(&ViewerOnly);
    asked.clear();
    const Response anonymous = Ask("GET", "/api/v1/channels");
    EXPECT_EQ(anonymous.status, 401);
    EXPECT_EQ(anonymous.headers, "WWW-Authenticate: Basic realm=\"kxr\"\r\n");
    ProblemOf(anonymous);

    const std::string credentials = "Authorization: Basic dmlldzp2aWV3\r\n";
    EXPECT_EQ(Ask("GET", "/api/v1/channels/1", "", credentials).status, 200);
    engine_.Clear();
    const Response post = Ask("POST", "/api/v1/channels/1/transport", "{\"action\":\"play\"}",
                              credentials + "Content-Type: application/json\r\n");
    EXPECT_EQ(post.status, 403);
    ProblemOf(post);
    // Refused before anything reached the engine.
    EXPECT_TRUE(engine_.Calls().empty());
    EXPECT_EQ(asked, (std::vector<Role>{Role::Viewer, Role::Viewer, Role::Operator}));

    // Unknown paths and methods are not the check's business.
    asked.clear();
    EXPECT_EQ(Ask("GET", "/api/v1/nope").status, 404);
    EXPECT_EQ(Ask("DELETE", "/api/v1/channels").status, 405);
    EXPECT_TRUE(asked.empty());

    kxr::rest::SetAccessCheck(nullptr);
    EXPECT_EQ(Ask("GET", "/api/v1/channels").status, 200);
}

TEST_F(RestRouter, TheOpenApiDocumentNamesEveryEndpoint) {
    const Response response = Ask("GET", "/api/v1/openapi.json");
    ASSERT_EQ(response.status, 200);
    const Json document = Json::parse(response.body);
    EXPECT_EQ(document["openapi"], "3.1.0");
    const struct {
        const char* path;
        const char* method;
    } endpoints[] = {
        {"/api/v1/channels", "get"},
        {"/api/v1/channels/{n}", "get"},
        {"/api/v1/channels/{n}/transport", "post"},
        {"/api/v1/clips", "get"},
        {"/api/v1/clips/{name}", "get"},
        {"/api/v1/clips/{name}/picon", "get"},
        {"/api/v1/files", "get"},
        {"/api/v1/files/info", "get"},
        {"/api/v1/errors", "get"},
        {"/api/v1/events", "get"},
        {"/api/v1/me", "get"},
        {"/api/v1/openapi.json", "get"},
    };
    EXPECT_EQ(document["paths"].size(), std::size(endpoints));
    for (const auto& endpoint : endpoints)
        EXPECT_TRUE(document["paths"][endpoint.path].contains(endpoint.method)) << endpoint.path;
}

} // namespace
