#pragma once
// Helpers for the replies of the text protocol: "A <x> values..." or "E <x> <code>".
#include <string>
#include <vector>

namespace orvapi {

// White-space separated tokens of a reply, in order.
std::vector<std::string> tokenize(const std::string& reply);
// True when the first token is exactly "A".
bool isResponseOk(const std::string& reply);
// -2 without tokens, 0 for "A", the third token's value for an "E" reply with three tokens, else -1.
int getResponseCode(const std::string& reply);
// The value tokens (third on) of an acknowledgement; throws LeException for anything else.
std::vector<std::string> parseResponse(const std::string& reply);
// The first value token of an acknowledgement; throws LeException when there is none.
std::string parseResponseValue(const std::string& reply);

}  // namespace orvapi
