#include <gtest/gtest.h>

#include <climits>

#include "engine/gen3/Reply.h"
#include "link/LeException.h"

using namespace orvapi;

namespace {

// Runs `call` and returns the LeException it throws (fails the test when it throws none).
template <class Call>
LeException failureOf(Call call) {
    try {
        call();
    } catch (const LeException& failure) {
        return failure;
    }
    ADD_FAILURE() << "no LeException thrown";
    return LeException("none", 0);
}

}  // namespace

TEST(Tokenize, SplitsOnAnyRunOfWhiteSpace) {
    EXPECT_EQ(tokenize(" A\tX  1\r\n2\v3\f"), (std::vector<std::string>{"A", "X", "1", "2", "3"}));
    EXPECT_TRUE(tokenize(" \t\r\n").empty());
    // NUL is not white space: it stays inside its token.
    EXPECT_EQ(tokenize(std::string("A\0 B", 4)), (std::vector<std::string>{std::string("A\0", 2), "B"}));
}

TEST(ResponseCode, ClassifiesEveryReplyShape) {
    EXPECT_EQ(getResponseCode(""), -2);
    EXPECT_EQ(getResponseCode("  \r\n"), -2);
    EXPECT_EQ(getResponseCode("A"), 0);
    EXPECT_EQ(getResponseCode("A X 7"), 0);
    EXPECT_EQ(getResponseCode("E X 53"), 53);
    EXPECT_EQ(getResponseCode("E X -5x"), -5);
    // An error reply is never success: a code that reads as 0, or as no number, is -1.
    EXPECT_EQ(getResponseCode("E X abc"), -1);
    EXPECT_EQ(getResponseCode("E X 0"), -1);
    EXPECT_EQ(getResponseCode("E X 99999999999"), INT_MAX);
    EXPECT_EQ(getResponseCode("E X"), -1);
    EXPECT_EQ(getResponseCode("N X 53"), -1);
    EXPECT_EQ(getResponseCode("a X 1"), -1);
}

TEST(ResponseOk, OnlyAnExactFirstTokenA) {
    EXPECT_TRUE(isResponseOk("A"));
    EXPECT_TRUE(isResponseOk("\r\n A X 1"));
    EXPECT_FALSE(isResponseOk(""));
    EXPECT_FALSE(isResponseOk("AX 1"));
    EXPECT_FALSE(isResponseOk("a X 1"));
    EXPECT_FALSE(isResponseOk("E X 53"));
}

TEST(ParseResponse, ReturnsValueTokensOfAnAcknowledgement) {
    EXPECT_EQ(parseResponse("A X 1 2"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(parseResponse("A\tX   1\r\n"), (std::vector<std::string>{"1"}));
    EXPECT_TRUE(parseResponse("A X").empty());
    EXPECT_EQ(parseResponseValue("A X first second"), "first");
}

TEST(ParseResponse, ErrorRepliesCarryTheDeviceCodeAndMessage) {
    const auto unknown = failureOf([] { parseResponse("E X 53"); });
    EXPECT_EQ(unknown.code, 53);
    EXPECT_EQ(unknown.description, "Unknown command");

    const auto notInTable = failureOf([] { parseResponse("E X 99"); });
    EXPECT_EQ(notInTable.code, 99);
    EXPECT_EQ(notInTable.description, "Error: 99");

    const auto noCode = failureOf([] { parseResponse("E X"); });
    EXPECT_EQ(noCode.code, -1);
    EXPECT_EQ(noCode.description, "Error: -1");

    const auto notE = failureOf([] { parseResponse("N X 53"); });
    EXPECT_EQ(notE.code, -1);

    for (const char* noCodeReply : {"E X abc", "E X 0", "E X +0"}) {
        const auto nonNumeric = failureOf([&] { parseResponse(noCodeReply); });
        EXPECT_EQ(nonNumeric.code, -1) << noCodeReply;
        EXPECT_EQ(nonNumeric.description, "Error: -1") << noCodeReply;
    }
}

TEST(ParseResponse, MalformedAcknowledgementsQuoteTheReplyExactly) {
    const auto empty = failureOf([] { parseResponse(" \r\n"); });
    EXPECT_EQ(empty.code, -1);
    EXPECT_EQ(empty.description, "No tokens to parse");

    const auto alone = failureOf([] { parseResponse("A\r\n"); });
    EXPECT_EQ(alone.code, -1);
    EXPECT_EQ(alone.description, "Invalid number of tokens: A\r\n");

    const auto noValue = failureOf([] { parseResponseValue("A X\r\n"); });
    EXPECT_EQ(noValue.code, -1);
    EXPECT_EQ(noValue.description, "Invalid response : A X\r\n");

    // The value helper passes the parser's own failures through unchanged.
    EXPECT_EQ(failureOf([] { parseResponseValue("E X 63"); }).code, 63);
    EXPECT_EQ(failureOf([] { parseResponseValue(""); }).description, "No tokens to parse");
}

TEST(Reply, NumbersReadLikeAtoiButSaturate) {
    EXPECT_EQ(replyInt("42"), 42);
    EXPECT_EQ(replyInt("-17x"), -17);
    EXPECT_EQ(replyInt("abc"), 0);
    EXPECT_EQ(replyInt("2147483647"), INT_MAX);
    EXPECT_EQ(replyInt("2147483648"), INT_MAX);
    EXPECT_EQ(replyInt("99999999999"), INT_MAX);
    EXPECT_EQ(replyInt("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(replyDouble("25.5"), 25.5);
    EXPECT_EQ(replyDouble("abc"), 0.0);
}
