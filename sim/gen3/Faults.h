#pragma once
// Faults the simulator can inject, and how one reply is delivered under them. Pure: the
// fronts carry the plan out on their own link.
#include <chrono>
#include <string>
#include <vector>

namespace photarc::sim {

struct Faults {
    bool splitReplies = false;                   // each reply in two writes, a pause between
    std::chrono::milliseconds splitPause{20};
    int dropAfter = -1;                          // hang up instead of answering command N+1 (TCP)
    int silentAfter = -1;                        // answer nothing after N commands
    int busyAt = -1;                             // refuse command N as busy (58), not carrying it out
    bool garbage = false;                        // replies replaced by bytes that are no reply
    bool nulBytes = false;                       // a NUL right after the first token of each reply
    std::chrono::milliseconds delay{0};          // before each reply
    bool overlong = false;                       // token 2 padded so the line exceeds 512 bytes
};

struct ReplyPlan {
    std::chrono::milliseconds delay{0};       // before the first part
    std::vector<std::string> parts;           // written in order; none = no answer
    std::chrono::milliseconds pause{0};       // between parts
    bool hangUp = false;                      // close the link instead of answering
};

// How to deliver `reply` (without line end) to command number `commandNumber` (from 1, counted
// on this link since the faults were last changed). Replies end with CR LF.
ReplyPlan planReply(const Faults& faults, int commandNumber, const std::string& reply);

}  // namespace photarc::sim
