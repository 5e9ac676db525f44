#pragma once
// One reply of the text protocol, "A <x> values..." or "E <x> <code>", read once into a value
// that the command set asks; the named helpers are thin functions over it.
#include <string>
#include <vector>

namespace orvapi {

struct Reply {
    std::string text;                 // as received, quoted in failure texts
    std::vector<std::string> tokens;  // white-space separated, in order
    bool acknowledged = false;        // the first token is exactly "A"
    // -2 without tokens, 0 for an acknowledgement, the device code of an "E" reply with three
    // tokens, else -1. An "E" reply whose code reads as 0 (or as no number) is -1: it is an
    // error all the same.
    int code = -2;
};

Reply parseReply(std::string text);

// The value tokens (third on) of an acknowledgement. Throws LeException for anything else:
// "No tokens to parse", the device's message and code, or "Invalid number of tokens: <reply>".
std::vector<std::string> valuesOf(const Reply& reply);
// The first value token, after the same checks; "Invalid response : <reply>" when there is none.
std::string firstValueOf(const Reply& reply);

// Numbers in replies are read like atoi and atof (the longest numeric prefix after leading
// white space, 0 without one), except that integers beyond the 32-bit range saturate.
int replyInt(const std::string& token);
double replyDouble(const std::string& token);

// The helpers by their established names.
std::vector<std::string> tokenize(const std::string& reply);
bool isResponseOk(const std::string& reply);
int getResponseCode(const std::string& reply);
std::vector<std::string> parseResponse(const std::string& reply);
std::string parseResponseValue(const std::string& reply);

}  // namespace orvapi
