#include "sim/gen3/Faults.h"

namespace photarc::sim {

namespace {

constexpr size_t kOverlongPadding = 600;

// Position just after the first token of a reply.
size_t afterFirstToken(const std::string& reply) {
    const size_t end = reply.find(' ');
    return end == std::string::npos ? reply.size() : end;
}

std::string shape(const Faults& faults, std::string reply) {
    if (faults.garbage) return "#~\x7f garbage \x01~#";
    if (faults.overlong) {
        const size_t echoEnd = reply.find(' ', afterFirstToken(reply) + 1);
        reply.insert(echoEnd == std::string::npos ? reply.size() : echoEnd, std::string(kOverlongPadding, '#'));
    }
    if (faults.nulBytes) reply.insert(afterFirstToken(reply), 1, '\0');
    return reply;
}

}  // namespace

ReplyPlan planReply(const Faults& faults, int commandNumber, const std::string& reply) {
    ReplyPlan plan;
    if (faults.dropAfter >= 0 && commandNumber > faults.dropAfter) {
        plan.hangUp = true;
        return plan;
    }
    if (faults.silentAfter >= 0 && commandNumber > faults.silentAfter) return plan;

    plan.delay = faults.delay;
    const std::string line = shape(faults, reply) + "\r\n";
    if (faults.splitReplies && line.size() > 1) {
        const size_t middle = line.size() / 2;
        plan.parts = {line.substr(0, middle), line.substr(middle)};
        plan.pause = faults.splitPause;
    } else {
        plan.parts = {line};
    }
    return plan;
}

}  // namespace photarc::sim
