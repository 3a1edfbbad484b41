#include "KernelGuest.h"

#include <cstdlib>
#include <thread>
#include <sys/wait.h>

namespace varnolet::test {

namespace {

std::string modulesFolder()
{
    const char *folder = std::getenv("VARNOLET_KERNEL_MODULES");
    return folder ? folder : "";
}

} // namespace

bool KernelGuest::inside()
{
    return !modulesFolder().empty();
}

std::string KernelGuest::requireGuest()
{
    if (inside())
        return {};
    return "this test drives the real kernel drivers and runs only inside the rig's guest: "
           "scripts/kernel-test.sh ctest --test-dir build/test -L kernel";
}

int KernelGuest::run(const std::string &commandLine)
{
    const int status = std::system(commandLine.c_str());
    if (status < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

int KernelGuest::load(const std::string &module, const std::string &arguments)
{
    return run("modprobe -d '" + modulesFolder() + "' " + module + " " + arguments);
}

int KernelGuest::unload(const std::string &module)
{
    return run("modprobe -r -d '" + modulesFolder() + "' " + module);
}

bool KernelGuest::waitUntil(const std::function<bool()> &condition,
                            std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void KernelGuest::settle()
{
    run("udevadm settle -t 20");
}

} // namespace varnolet::test
