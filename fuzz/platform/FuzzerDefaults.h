#pragma once

// Default libFuzzer flags a target wants when the command line does not give them, added
// from LLVMFuzzerInitialize (libFuzzer parses the flags after that call). A flag named on
// the command line always wins.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace fuzzdefaults {

inline bool hasFlag(int argc, char **argv, const char *flag)
{
    const char *equals = std::strchr(flag, '=');
    const size_t nameLength = equals ? static_cast<size_t>(equals - flag) + 1 : std::strlen(flag);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, nameLength) == 0)
            return true;
    }
    return false;
}

// flags: "-name=value" entries.
inline void addDefaults(int *argc, char ***argv, std::initializer_list<const char *> flags)
{
    static std::vector<std::string> storage;
    static std::vector<char *> arguments;
    storage.clear();
    for (const char *flag : flags) {
        if (!hasFlag(*argc, *argv, flag))
            storage.emplace_back(flag);
    }
    if (storage.empty())
        return;
    arguments.assign(*argv, *argv + *argc);
    for (std::string &flag : storage)
        arguments.push_back(flag.data());
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
}

// Stops the run with a message; libFuzzer records the input that got here.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

} // namespace fuzzdefaults

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzdefaults::fail(#condition);                                                        \
    } while (0)
