// The shared library exposes exactly the 48 orv_ functions of the public header, nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

std::set<std::string> declaredExports() {
    std::ifstream header(PHOTARC_HEADER);
    const std::regex declaration(R"(PHOTARC_API\s+int32_t\s+(orv_\w+)\s*\()");
    std::set<std::string> names;
    std::string line;
    while (std::getline(header, line)) {
        std::smatch match;
        if (std::regex_search(line, match, declaration)) names.insert(match[1]);
    }
    return names;
}

std::set<std::string> definedDynamicSymbols() {
    const std::string command = std::string("nm -D --defined-only ") + PHOTARC_LIBRARY;
    std::set<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string entry(line);
        const auto lastSpace = entry.find_last_of(' ');
        std::string name = entry.substr(lastSpace + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        // Version-node markers of the version script are not functions.
        if (!name.empty() && entry.find(" A ") == std::string::npos) names.insert(name);
    }
    pclose(pipe);
    return names;
}

}  // namespace

TEST(ExportList, HeaderDeclaresFortyEightExports) { EXPECT_EQ(declaredExports().size(), 48u); }

TEST(ExportList, LibraryExportsExactlyTheDeclaredFunctions) {
    const auto exported = definedDynamicSymbols();
    ASSERT_FALSE(exported.empty()) << "could not read the symbols of " << PHOTARC_LIBRARY;
    EXPECT_EQ(exported, declaredExports());
}
