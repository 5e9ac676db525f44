#include "link/ReplyParsing.h"

#include <cstdlib>
#include <sstream>

#include "link/DeviceErrors.h"
#include "link/LeException.h"

namespace orvapi {

namespace {

// The device code of an "E" reply with at least three tokens, else -1.
int errorCodeOf(const std::vector<std::string>& tokens) {
    if (tokens.size() >= 3 && tokens[0] == "E") return std::atoi(tokens[2].c_str());
    return -1;
}

}  // namespace

std::vector<std::string> tokenize(const std::string& reply) {
    std::istringstream stream(reply);
    std::vector<std::string> tokens;
    std::string token;
    while (stream >> token) tokens.push_back(token);
    return tokens;
}

bool isResponseOk(const std::string& reply) {
    const auto tokens = tokenize(reply);
    return !tokens.empty() && tokens[0] == "A";
}

int getResponseCode(const std::string& reply) {
    const auto tokens = tokenize(reply);
    if (tokens.empty()) return -2;
    if (tokens[0] == "A") return 0;
    return errorCodeOf(tokens);
}

std::vector<std::string> parseResponse(const std::string& reply) {
    const auto tokens = tokenize(reply);
    if (tokens.empty()) throw leFailure("No tokens to parse");
    if (tokens[0] != "A") {
        const int code = errorCodeOf(tokens);
        throw LeException(getErrorMessage(code), code);
    }
    if (tokens.size() < 2) throw leFailure("Invalid number of tokens: " + reply);
    return std::vector<std::string>(tokens.begin() + 2, tokens.end());
}

std::string parseResponseValue(const std::string& reply) {
    const auto values = parseResponse(reply);
    if (values.empty()) throw leFailure("Invalid response : " + reply);
    return values.front();
}

}  // namespace orvapi
