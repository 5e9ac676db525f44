#include "engine/ModelTables.h"

namespace orvapi {

namespace {

// The per-model lists come first: the table below is built from them, in this file's order.
const ChannelNames kZefa2Channels{"VIOLET", "CYAN", "GREEN", "YELLOW", "RED"};
const ChannelNames kKorvChannels{"BLUE", "GREEN", "RED"};
const ChannelNames kPexoChannels{"VIOLET", "CYAN", "GREEN", "RED"};
const ChannelNames kDuvanChannels{"CYAN", "GREEN", "RED"};
const ChannelNames kWhiteOnly{"WHITE"};
const ChannelNames kVexor7Channels{"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "YELLOW", "RED"};
const ChannelNames kVexorXChannels{"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "RED"};
const ChannelNames kBranoChannels{"CYAN", "GREEN", "RED"};

}  // namespace

const std::map<std::string, ChannelNames> modelChannelTable{
    {"ZEFA2", kZefa2Channels},   {"KORV", kKorvChannels},     {"PEXO", kPexoChannels},
    {"DUVAN", kDuvanChannels},   {"MESKO", kWhiteOnly},       {"TOVRA", kWhiteOnly},
    {"VEXOR7", kVexor7Channels}, {"VEXORX", kVexorXChannels}, {"BRANO", kBranoChannels},
};

const std::map<int, std::string> modelNumberTable{
    {1, "ZEFA2"}, {2, "KORV"},   {3, "PEXO"},   {4, "DUVAN"}, {5, "MESKO"},
    {6, "TOVRA"}, {7, "VEXOR7"}, {8, "VEXORX"}, {9, "BRANO"}, {10, "TOVRA3"},
};

}  // namespace orvapi
