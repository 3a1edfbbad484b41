#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/system/CommandLine.h"

namespace {

using varnolet::CommandLine;

struct Case
{
    std::vector<const char *> arguments; // after the program name
    bool run;
    int exitCode;
    std::string out; // expected start of the output, "" for none
    std::string err; // expected error text, "" for none
    bool virtualCamera;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << "Prog";
    for (const char *argument : c.arguments)
        *os << ' ' << argument;
}

const CommandLine &commandLine()
{
    static const CommandLine line("Prog", "1.2.3", "Does things.",
                                  {CommandLine::virtualCameraOption()});
    return line;
}

class CommandLineCase : public testing::TestWithParam<Case>
{
};

TEST_P(CommandLineCase, AnswersOrRuns)
{
    const Case &c = GetParam();
    std::vector<const char *> argv{"/usr/bin/Prog"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    std::ostringstream out, err;
    const auto outcome = commandLine().parse(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(outcome.run, c.run);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(out.str().substr(0, c.out.size()), c.out);
    EXPECT_EQ(out.str().empty(), c.out.empty());
    EXPECT_EQ(err.str(), c.err);
    EXPECT_EQ(outcome.has("--virtual-camera"), c.virtualCamera);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineCase,
    testing::Values(
        Case{{}, true, 0, "", "", false}, Case{{"--virtual-camera"}, true, 0, "", "", true},
        Case{{"--virtual-camera", "--virtual-camera"}, true, 0, "", "", true},
        Case{{"--version"}, false, 0, "Prog 1.2.3\n", "", false},
        Case{{"--help"}, false, 0, "Usage: Prog [OPTION]...\nDoes things.\n", "", false},
        Case{{"-h"}, false, 0, "Usage: Prog [OPTION]...\n", "", false},
        // --help wins over --version, whatever the order.
        Case{{"--version", "--help"}, false, 0, "Usage: Prog", "", false},
        Case{{"--virtual-camera", "--bogus"},
             false,
             2,
             "",
             "Prog: unknown option '--bogus' (see Prog --help)\n",
             false},
        Case{
            {"--help", "-x"}, false, 2, "", "Prog: unknown option '-x' (see Prog --help)\n", false},
        // Qt's own options are not taken either: the environment variables do their work.
        Case{{"-platform", "offscreen"},
             false,
             2,
             "",
             "Prog: unknown option '-platform' (see Prog --help)\n",
             false},
        Case{{"picture.jpg"},
             false,
             2,
             "",
             "Prog: unexpected argument 'picture.jpg' (see Prog --help)\n",
             false},
        Case{{"-"}, false, 2, "", "Prog: unexpected argument '-' (see Prog --help)\n", false},
        Case{{"--virtual-camera=1"},
             false,
             2,
             "",
             "Prog: unknown option '--virtual-camera=1' (see Prog --help)\n",
             false}));

TEST(CommandLine, HelpListsEveryOptionOnItsOwnAlignedLine)
{
    const std::string help = commandLine().helpText();
    std::istringstream lines(help);
    std::string line;
    std::vector<std::string> optionLines;
    while (std::getline(lines, line)) {
        if (line.rfind("  --", 0) == 0)
            optionLines.push_back(line);
    }
    ASSERT_EQ(optionLines.size(), 3u);
    EXPECT_EQ(optionLines[0].rfind("  --virtual-camera  also list", 0), 0u) << optionLines[0];
    EXPECT_EQ(optionLines[1].rfind("  --help            show this help", 0), 0u) << optionLines[1];
    EXPECT_EQ(optionLines[2].rfind("  --version         show the program", 0), 0u)
        << optionLines[2];
}

} // namespace
