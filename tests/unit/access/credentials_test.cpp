// Checking credentials: what each check costs, the memory of verified
// credentials, the throttle on failed logins, and the policy made from the
// configuration, which leaves out (with a message) what it cannot use.
#include "access/credentials.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "access/access_policy.h"
#include "access/base64.h"
#include "kxr/rvutil.h"
#include "platform/kxr_socket.h"
#include "tests/support/err_log_capture.h"

namespace {

namespace ka = kxr::access;

const uint32_t kClientA = kxr::platform::Ipv4Parse("10.0.0.1");
const uint32_t kClientB = kxr::platform::Ipv4Parse("10.0.0.2");

std::string Request(const std::string& user, const std::string& password) {
    return "GET /KXRStatus HTTP/1.1\r\nAuthorization: Basic " +
           ka::Base64Encode(user + ":" + password) + "\r\n\r\n";
}

ka::PasswordEntry Entry(ka::Role role, const std::string& password, uint32_t iterations) {
    ka::PasswordEntry entry;
    EXPECT_TRUE(ka::MakePasswordEntry(role, password, iterations, &entry));
    return entry;
}

// Real iteration counts where the cost matters, one where only the count of
// derivations does.
ka::UserTable Users(uint32_t iterations = ka::kMinIterations) {
    ka::UserTable users;
    users.emplace("alice", Entry(ka::Role::Operator, "wonderland", iterations));
    users.emplace("bob", Entry(ka::Role::Viewer, "builder", iterations));
    return users;
}

ka::AuthOutcome Outcome(ka::Authenticator& users, const std::string& user,
                        const std::string& password, uint32_t client, uint64_t now) {
    return users.Check(Request(user, password), client, now).outcome;
}

constexpr ka::AuthOutcome kAccepted = ka::AuthOutcome::Accepted;
constexpr ka::AuthOutcome kChallenge = ka::AuthOutcome::Challenge;
constexpr ka::AuthOutcome kThrottled = ka::AuthOutcome::Throttled;

// Who gets in with which role is asked over HTTP (tests/integration/
// access_test.cpp); here, what each check costs. An unknown name costs a
// derivation too, so that it takes as long; no credentials, or unreadable
// ones, leave nothing to derive.
TEST(Authenticator, EachPasswordCheckedCostsOneDerivation) {
    ka::Authenticator users(Users());
    const std::pair<std::string, uint64_t> rows[] = {
        {Request("alice", "wonderland"), 1},
        {Request("alice", "Wonderland"), 2},
        {Request("mallory", "wonderland"), 3},
        {"GET / HTTP/1.1\r\n\r\n", 3},
    };
    uint64_t now = 1000;
    for (const auto& [text, derivations] : rows) {
        users.Check(text, kClientA, now++);
        EXPECT_EQ(users.Derivations(), derivations) << text;
    }
}

TEST(Authenticator, RemembersVerifiedCredentialsForAWhile) {
    ka::Authenticator users(Users());
    const uint64_t start = 5000;
    EXPECT_EQ(Outcome(users, "alice", "wonderland", kClientA, start), kAccepted);
    // A browser sends them again with every request: no new derivation, from
    // any address, and the same role.
    const ka::AuthResult again = users.Check(Request("alice", "wonderland"), kClientB, start + 1);
    EXPECT_EQ(again.outcome, kAccepted);
    EXPECT_EQ(again.role, ka::Role::Operator);
    EXPECT_EQ(users.Derivations(), 1u);
    // A wrong password is never remembered as right, however close.
    EXPECT_EQ(Outcome(users, "alice", "wonderlanD", kClientB, start + 30), kChallenge);
    EXPECT_EQ(users.Derivations(), 2u);
    // Once the memory expires, the password is derived again.
    const uint64_t later = start + ka::Authenticator::kCacheLifetimeMs;
    EXPECT_EQ(Outcome(users, "alice", "wonderland", kClientA, later), kAccepted);
    EXPECT_EQ(users.Derivations(), 3u);
}

TEST(Authenticator, ParallelRequestsWithNewCredentialsDeriveOnce) {
    ka::Authenticator users(Users());
    std::vector<std::thread> threads;
    std::vector<ka::AuthOutcome> outcomes(6, kChallenge);
    for (size_t i = 0; i < outcomes.size(); ++i)
        threads.emplace_back(
            [&, i] { outcomes[i] = Outcome(users, "bob", "builder", kClientA, 100); });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(outcomes, std::vector<ka::AuthOutcome>(6, kAccepted));
    EXPECT_EQ(users.Derivations(), 1u);
}

// The 429 itself is asked over HTTP; here, that credentials remembered
// before are not honoured either, and the window's end.
TEST(Authenticator, RepeatedFailuresFromOneAddressAreThrottled) {
    ka::Authenticator users(Users(1));
    const uint64_t start = 10000;
    ASSERT_EQ(Outcome(users, "alice", "wonderland", kClientA, start - 1), kAccepted);
    for (uint32_t i = 0; i < ka::LoginThrottle::kFailureLimit; ++i)
        ASSERT_EQ(Outcome(users, "alice", "guess" + std::to_string(i), kClientA, start + i),
                  kChallenge);
    const uint64_t derived = users.Derivations();
    const ka::AuthResult result =
        users.Check(Request("alice", "wonderland"), kClientA, start + 1000);
    EXPECT_EQ(result.outcome, kThrottled);
    EXPECT_EQ(result.retryAfterSeconds, 59u);
    EXPECT_EQ(users.Derivations(), derived);
    const uint64_t end = start + ka::LoginThrottle::kWindowMs;
    EXPECT_EQ(Outcome(users, "alice", "wonderland", kClientA, end - 1), kThrottled);
    EXPECT_EQ(Outcome(users, "alice", "wonderland", kClientA, end), kAccepted);
}

TEST(LoginThrottle, CountsFailuresPerAddressWithinAWindow) {
    ka::LoginThrottle throttle;
    uint32_t retry = 0;
    // Failures spread over more than a window never add up.
    for (uint64_t at = 0; at < 200000; at += 20000) {
        throttle.RecordFailure(kClientA, at);
        EXPECT_FALSE(throttle.Blocked(kClientA, at, &retry)) << at;
    }
    // A full table makes room by forgetting the address whose window began
    // first.
    for (uint32_t a = 0; a < ka::LoginThrottle::kCapacity; ++a)
        for (uint32_t f = 0; f < ka::LoginThrottle::kFailureLimit; ++f)
            throttle.RecordFailure(1000 + a, 300000 + a);
    EXPECT_TRUE(throttle.Blocked(1000, 300100, &retry));
    throttle.RecordFailure(kClientB, 300500);
    EXPECT_FALSE(throttle.Blocked(1000, 300600, &retry));
    EXPECT_TRUE(throttle.Blocked(1001, 300600, &retry));
}

// The other unusable entries are refused by ParsePasswordEntry
// (password_test.cpp); a weak one must also keep its user out.
TEST(AccessPolicy, AWeakEntryIsReportedAndLeftOut) {
    const std::vector<ka::UserSetting> settings = {
        {"viewer1", true, ka::FormatPasswordEntry(Entry(ka::Role::Viewer, "pw", 100000))},
        {"weak", true, ka::FormatPasswordEntry(Entry(ka::Role::Viewer, "pw", 1000))}};
    std::vector<std::string> messages;
    const auto policy = ka::MakeAccessPolicy(ka::AllowFromSetting{}, settings, &messages);
    EXPECT_EQ(messages.size(), 1u) << testing::PrintToString(messages);
    ASSERT_NE(policy->authenticator, nullptr);
    EXPECT_EQ(Outcome(*policy->authenticator, "viewer1", "pw", kClientA, 1), kAccepted);
    EXPECT_EQ(Outcome(*policy->authenticator, "weak", "pw", kClientB, 1), kChallenge);
}

// The settings the host reads at start are asked over HTTP; here, numbers
// where texts belong, which fail closed, and the next start reading again.
TEST(AccessPolicy, SettingsThatCannotBeReadFailClosed) {
    rvCFGOpen(nullptr);
    uint32_t number = 7;
    rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer\\Users", "seven", &number, 1);
    rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "AllowFrom", &number, 1);
    {
        kxrtest::ErrorLogCapture log;
        ka::LoadAccessSettings();
        // AllowFrom, the user, and that nobody can log in.
        EXPECT_EQ(log.Lines().size(), 3u);
    }
    auto policy = ka::CurrentAccessPolicy();
    EXPECT_TRUE(policy->allowList.Allows(kxr::platform::kIpv4Loopback));
    EXPECT_FALSE(policy->allowList.Allows(kClientA));
    // Users were meant, none can log in: everyone is challenged.
    ASSERT_NE(policy->authenticator, nullptr);
    EXPECT_EQ(Outcome(*policy->authenticator, "seven", "7", kClientA, 1), kChallenge);

    // Nothing configured: everyone, nobody logs in.
    rvCFGOpen(nullptr);
    ka::LoadAccessSettings();
    EXPECT_TRUE(ka::CurrentAccessPolicy()->allowList.AllowsEveryone());
    EXPECT_EQ(ka::CurrentAccessPolicy()->authenticator, nullptr);
}

} // namespace
