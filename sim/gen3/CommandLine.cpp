#include "sim/gen3/CommandLine.h"

#include <charconv>
#include <functional>
#include <map>

namespace photarc::sim {

const char* const kUsage =
    "Usage: photarc-sim [options]\n"
    "Simulates a current-generation light engine on a pseudo-terminal (where the system has\n"
    "them) and on TCP 127.0.0.1. Prints the serial device path on the first line (empty\n"
    "without one) and the TCP port on the second, then serves until Ctrl-C (SIGINT) or SIGTERM.\n"
    "\n"
    "Device:\n"
    "  --port N              TCP port (default 8095; 0 picks a free port)\n"
    "  --model TEXT          model name (default \"PHOTARC SIM 5\")\n"
    "  --serial-number TEXT  serial number\n"
    "  --firmware TEXT       firmware version\n"
    "  --ip A.B.C.D          IP address the device reports\n"
    "  --channels A,B,...    channel map (default VIOLET,BLUE,CYAN,GREEN,RED)\n"
    "  --max-intensity N     largest intensity value (default 1000)\n"
    "  --supply-limit W      supply limit in watts (default: switching every channel on\n"
    "                        at full intensity overloads the supply, error 63)\n"
    "Faults:\n"
    "  --split-replies       send each reply in two pieces, 20 ms apart\n"
    "  --drop-after N        TCP: hang up instead of answering command N+1 of a connection\n"
    "  --silent-after N      answer nothing after N commands of a connection\n"
    "  --busy-at N           refuse command N of a connection as busy (error 58)\n"
    "  --garbage             answer with bytes that are no reply\n"
    "  --nul-bytes           put a NUL byte after the first token of each reply\n"
    "  --delay-ms N          wait N ms before each reply\n"
    "  --overlong            pad each reply beyond 512 bytes\n"
    "  --help                show this text\n";

namespace {

bool toInt(const std::string& text, long low, long high, long& value) {
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        items.push_back(text.substr(start, comma - start));
    items.push_back(text.substr(start));
    return items;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    line.options.tcpPort = 8095;
    auto& device = line.options.device;
    auto& faults = line.options.faults;

    // Options that take a value: the handler returns false when the value is not valid.
    using Setter = std::function<bool(const std::string&)>;
    const auto number = [](long low, long high, std::function<void(long)> store) -> Setter {
        return [=](const std::string& text) {
            long value = 0;
            if (!toInt(text, low, high, value)) return false;
            store(value);
            return true;
        };
    };
    const auto text = [](std::string& target) -> Setter {
        return [&target](const std::string& value) {
            target = value;
            return !value.empty() && value.find_first_of(" \t\r\n") == std::string::npos;
        };
    };
    const std::map<std::string, Setter> valued = {
        {"--port", number(0, 65535, [&](long v) { line.options.tcpPort = static_cast<uint16_t>(v); })},
        {"--model", [&](const std::string& v) { device.model = v; return !v.empty(); }},
        {"--serial-number", text(device.serialNumber)},
        {"--firmware", text(device.firmware)},
        {"--ip", text(device.ipAddress)},
        {"--channels",
         [&](const std::string& v) {
             device.channels = splitList(v);
             for (const auto& name : device.channels)
                 if (name.empty() || name.find_first_of(" \t") != std::string::npos) return false;
             return true;
         }},
        {"--max-intensity", number(1, 1000000, [&](long v) { device.maxIntensity = static_cast<int>(v); })},
        {"--supply-limit", number(1, 1000000, [&](long v) { device.supplyLimitWatts = static_cast<double>(v); })},
        {"--drop-after", number(0, 1000000000, [&](long v) { faults.dropAfter = static_cast<int>(v); })},
        {"--silent-after", number(0, 1000000000, [&](long v) { faults.silentAfter = static_cast<int>(v); })},
        {"--busy-at", number(1, 1000000000, [&](long v) { faults.busyAt = static_cast<int>(v); })},
        {"--delay-ms", number(0, 3600000, [&](long v) { faults.delay = std::chrono::milliseconds(v); })},
    };
    const std::map<std::string, bool*> flags = {
        {"--help", &line.help},           {"--split-replies", &faults.splitReplies},
        {"--garbage", &faults.garbage},   {"--nul-bytes", &faults.nulBytes},
        {"--overlong", &faults.overlong},
    };

    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (const auto flag = flags.find(option); flag != flags.end()) {
            *flag->second = true;
        } else if (const auto setter = valued.find(option); setter != valued.end()) {
            if (i + 1 >= argc) {
                line.error = option + " needs a value";
                return line;
            }
            const std::string value = argv[++i];
            if (!setter->second(value)) {
                line.error = "invalid value for " + option + ": " + value;
                return line;
            }
        } else {
            line.error = "unknown option: " + option;
            return line;
        }
    }
    return line;
}

}  // namespace photarc::sim
