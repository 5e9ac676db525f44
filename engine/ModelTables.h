#pragma once
// The models the library knows without asking the device: each model's channels in index
// order, and the model numbers the legacy create export accepts. Built when the library is
// loaded and never changed, so they are read without a lock.
#include <map>
#include <string>
#include <vector>

namespace orvapi {

using ChannelNames = std::vector<std::string>;

// Model name -> channel names, index 0 first. Lookups are exact and case-sensitive.
extern const std::map<std::string, ChannelNames> modelChannelTable;
// Model number -> model name (1 to 10; 10 is the single-channel TOVRA3).
extern const std::map<int, std::string> modelNumberTable;

}  // namespace orvapi
