#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace varnolet::test {

// What a test running inside the guest of scripts/kernel-test.sh uses: the kernel's module
// folder, module loading and udev settling. Outside the guest every kernel test fails with
// requireGuest()'s message.
class KernelGuest
{
public:
    // Whether this process runs inside the rig's guest.
    static bool inside();
    // Empty inside the guest, else why the test cannot run here.
    static std::string requireGuest();

    // modprobe NAME ARGS (blank-separated) from the guest's kernel; the exit status.
    static int load(const std::string &module, const std::string &arguments = {});
    // Removes the module (and what only it needed); the exit status.
    static int unload(const std::string &module);
    // Waits until udev has handled every pending event.
    static void settle();
    // Runs a shell command line; its exit status (-1 when it could not run).
    static int run(const std::string &commandLine);
    // Polls the condition every 10 ms until it holds (true) or the timeout passes (false).
    static bool waitUntil(const std::function<bool()> &condition,
                          std::chrono::milliseconds timeout);
};

} // namespace varnolet::test

// First line of every kernel test: fails clearly outside the guest.
#define VARNOLET_REQUIRE_KERNEL_GUEST()                                                            \
    do {                                                                                           \
        const std::string reason = ::varnolet::test::KernelGuest::requireGuest();                  \
        if (!reason.empty())                                                                       \
            FAIL() << reason;                                                                      \
    } while (false)
