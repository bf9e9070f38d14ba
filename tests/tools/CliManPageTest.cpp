// The man page of orvalink-cli says what its usage text says: the same
// command lines in its synopsis, and an entry for each in its list of
// commands, so neither can change without the other.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// A line as the reader sees it: no emphasis marks, single blanks.
std::string Plain(const std::string& line) {
    std::string out;
    for (char c : line) {
        if (c == '*') continue;
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The lines of the man page source between "# TITLE" and the next section.
std::vector<std::string> Section(const std::vector<std::string>& page, const std::string& title) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : page) {
        if (line.rfind("# ", 0) == 0) {
            inside = line == "# " + title;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

std::string Listed(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += "  " + l + "\n";
    return out;
}

TEST(CliManPage, SynopsisAndCommandsAreTheUsageText) {
    const fs::path scratch = fs::temp_directory_path() / ("orvalink-cli-man-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const auto help = testing::RunProcess({ORVALINK_CLI_PROGRAM, "--help"}, scratch);
    fs::remove_all(scratch);
    ASSERT_EQ(help.exitCode, 0) << help.err;

    // "  orvalink-cli codes FILE CODE [KEY] [--pronto]" and so on.
    std::vector<std::string> usage;
    std::istringstream helpLines(help.out);
    for (std::string line; std::getline(helpLines, line);)
        if (Plain(line).rfind("orvalink-cli ", 0) == 0) usage.push_back(Plain(line));
    ASSERT_GE(usage.size(), 19u) << help.out;

    std::ifstream in(ORVALINK_CLI_MAN_PAGE);
    ASSERT_TRUE(in) << ORVALINK_CLI_MAN_PAGE;
    std::vector<std::string> page;
    for (std::string line; std::getline(in, line);) page.push_back(line);

    std::vector<std::string> synopsis;
    for (const std::string& line : Section(page, "SYNOPSIS"))
        if (!Plain(line).empty()) synopsis.push_back(Plain(line));
    EXPECT_TRUE(synopsis == usage) << "usage:\n" << Listed(usage) << "man page synopsis:\n" << Listed(synopsis);

    // Every command line but the last (--help | --version) is the term of an
    // entry under COMMANDS, as it stands after the program's name; the two
    // options have theirs.
    std::vector<std::string> terms;
    for (const std::string& line : Section(page, "COMMANDS"))
        if (line.rfind("**", 0) == 0) terms.push_back(Plain(line));
    std::vector<std::string> expected;
    for (const std::string& line : usage) {
        const std::string rest = line.substr(std::string("orvalink-cli ").size());
        if (rest.rfind("--help", 0) != 0) expected.push_back(rest);
    }
    expected.push_back("-h, --help");
    expected.push_back("--version");
    EXPECT_TRUE(terms == expected) << "usage:\n" << Listed(expected) << "man page commands:\n" << Listed(terms);
}

}  // namespace
}  // namespace orvalink
