#include "CommandLine.h"

#include <algorithm>
#include <cstdio>

namespace varnolet {

CommandLine::CommandLine(std::string program, std::string version, std::string summary,
                         std::vector<Option> options)
    : m_program(std::move(program))
    , m_version(std::move(version))
    , m_summary(std::move(summary))
    , m_options(std::move(options))
{
    m_options.push_back({"--help", "show this help and exit (also -h)"});
    m_options.push_back({"--version", "show the program's version and exit"});
}

CommandLine::Option CommandLine::virtualCameraOption()
{
    return {"--virtual-camera", "also list the built-in virtual camera (a moving test picture)"};
}

std::string CommandLine::helpText() const
{
    std::size_t width = 0;
    for (const Option &option : m_options)
        width = std::max(width, option.name.size());
    std::string text = "Usage: " + m_program + " [OPTION]...\n" + m_summary + "\n\nOptions:\n";
    for (const Option &option : m_options) {
        text += "  " + option.name + std::string(width - option.name.size() + 2, ' ') +
                option.description + "\n";
    }
    return text;
}

CommandLine::Outcome CommandLine::parse(int argc, const char *const *argv, std::ostream &out,
                                        std::ostream &err) const
{
    Outcome outcome;
    for (int i = 1; i < argc && argv[i]; ++i) {
        std::string argument = argv[i];
        if (argument == "-h")
            argument = "--help";
        const bool known = std::any_of(m_options.begin(), m_options.end(),
                                       [&](const Option &o) { return o.name == argument; });
        if (!known) {
            // One line, so that a script's log shows the mistake and a way on.
            const bool option = argument.size() > 1 && argument[0] == '-';
            err << m_program << ": " << (option ? "unknown option '" : "unexpected argument '")
                << argv[i] << "' (see " << m_program << " --help)\n";
            return Outcome{false, kUsageError, {}};
        }
        outcome.given.insert(argument);
    }
    if (outcome.has("--help")) {
        out << helpText();
        return outcome;
    }
    if (outcome.has("--version")) {
        out << m_program << ' ' << m_version << '\n';
        return outcome;
    }
    outcome.run = true;
    return outcome;
}

} // namespace varnolet
