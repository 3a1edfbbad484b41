#pragma once

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace varnolet {

// A program's command line, read before any window or display exists: --help and
// --version answer on the output stream, an unknown option or a stray argument gives one
// line on the error stream naming it. Every program knows --help (-h) and --version;
// the others come from the program's table.
class CommandLine
{
public:
    struct Option
    {
        std::string name;        // "--virtual-camera"
        std::string description; // one line for --help
    };

    // What the program does next: run with the options given, or end with exitCode.
    struct Outcome
    {
        bool run = false;
        int exitCode = 0;
        std::set<std::string> given; // empty after a mistake

        bool has(const std::string &name) const { return given.count(name) != 0; }
    };

    // Exit status of a command-line mistake, as getopt-based programs use it.
    static constexpr int kUsageError = 2;

    CommandLine(std::string program, std::string version, std::string summary,
                std::vector<Option> options);

    Outcome parse(int argc, const char *const *argv, std::ostream &out, std::ostream &err) const;
    // --virtual-camera, which both programs offer.
    static Option virtualCameraOption();

    // The --help text: usage line, summary, one line per option.
    std::string helpText() const;

private:
    std::string m_program;
    std::string m_version;
    std::string m_summary;
    std::vector<Option> m_options;
};

} // namespace varnolet
