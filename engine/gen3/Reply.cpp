#include "engine/gen3/Reply.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "link/DeviceErrors.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

// White space as stream extraction knows it in the classic locale; NUL is not white space.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::vector<std::string> splitTokens(const std::string& text) {
    std::vector<std::string> tokens;
    tokens.reserve(4);  // a reply to a query has three
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end) {
        at = std::find_if_not(at, end, isBlank);
        const char* const tokenEnd = std::find_if(at, end, isBlank);
        if (tokenEnd != at) tokens.emplace_back(at, tokenEnd);
        at = tokenEnd;
    }
    return tokens;
}

int codeOf(const std::vector<std::string>& tokens) {
    if (tokens.empty()) return -2;
    if (tokens[0] == "A") return 0;
    if (tokens[0] != "E" || tokens.size() < 3) return -1;
    const int code = replyInt(tokens[2]);
    return code == 0 ? -1 : code;
}

// The checks shared by both value readers.
void requireValues(const Reply& reply) {
    if (reply.tokens.empty()) throw leFailure("No tokens to parse");
    if (!reply.acknowledged) throw LeException(getErrorMessage(reply.code), reply.code);
    if (reply.tokens.size() < 2) throw leFailure("Invalid number of tokens: " + reply.text);
}

}  // namespace

Reply parseReply(std::string text) {
    Reply reply;
    reply.tokens = splitTokens(text);
    reply.text = std::move(text);
    reply.acknowledged = !reply.tokens.empty() && reply.tokens[0] == "A";
    reply.code = codeOf(reply.tokens);
    return reply;
}

std::vector<std::string> valuesOf(const Reply& reply) {
    requireValues(reply);
    return std::vector<std::string>(reply.tokens.begin() + 2, reply.tokens.end());
}

std::string firstValueOf(const Reply& reply) {
    requireValues(reply);
    if (reply.tokens.size() < 3) throw leFailure("Invalid response : " + reply.text);
    return reply.tokens[2];
}

int replyInt(const std::string& token) {
    // strtoll itself saturates at its own range; the clamp brings that to int's.
    return static_cast<int>(std::clamp<long long>(std::strtoll(token.c_str(), nullptr, 10), INT_MIN, INT_MAX));
}

double replyDouble(const std::string& token) { return std::atof(token.c_str()); }

std::vector<std::string> tokenize(const std::string& reply) { return splitTokens(reply); }

bool isResponseOk(const std::string& reply) { return parseReply(reply).acknowledged; }

int getResponseCode(const std::string& reply) { return parseReply(reply).code; }

std::vector<std::string> parseResponse(const std::string& reply) { return valuesOf(parseReply(reply)); }

std::string parseResponseValue(const std::string& reply) { return firstValueOf(parseReply(reply)); }

}  // namespace orvapi
