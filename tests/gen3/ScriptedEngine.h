#pragma once
// A Gen3LightEngine whose transaction is scripted: every command is recorded and answered
// with the next queued reply, so the command set runs without any transport.
#include <deque>
#include <string>
#include <vector>

#include "engine/gen3/Gen3LightEngine.h"

namespace photarc::testing {

class ScriptedEngine : public orvapi::Gen3LightEngine {
public:
    std::string executeCommand(const std::string& command) override {
        commands.push_back(command);
        if (replies.empty()) return std::string();
        std::string reply = replies.front();
        replies.pop_front();
        return reply;
    }
    void queue(std::string reply) { replies.push_back(std::move(reply)); }

    std::vector<std::string> commands;

private:
    std::deque<std::string> replies;
};

}  // namespace photarc::testing
