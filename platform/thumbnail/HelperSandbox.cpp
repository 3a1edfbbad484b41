#include "HelperSandbox.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace varnolet {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // the sanitizers reserve terabytes of address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool limit(int resource, rlim_t value, const char *name, std::string &error)
{
    const rlimit bound{value, value};
    if (::setrlimit(resource, &bound) == 0)
        return true;
    error = std::string("setrlimit ") + name + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool HelperSandbox::enter(std::string &error)
{
    if (!kSanitized && !limit(RLIMIT_AS, kMemoryBytes, "RLIMIT_AS", error))
        return false;
    if (!limit(RLIMIT_CPU, kCpuSeconds, "RLIMIT_CPU", error) ||
        !limit(RLIMIT_FSIZE, 0, "RLIMIT_FSIZE", error) ||
        !limit(RLIMIT_NOFILE, 16, "RLIMIT_NOFILE", error) ||
        !limit(RLIMIT_CORE, 0, "RLIMIT_CORE", error))
        return false;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        error = std::string("PR_SET_NO_NEW_PRIVS: ") + std::strerror(errno);
        return false;
    }
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter) {
        error = "seccomp_init failed";
        return false;
    }
    int result = 0;
    for (int call : {
             SCMP_SYS(read),          SCMP_SYS(pread64),         SCMP_SYS(readv),
             SCMP_SYS(write),         SCMP_SYS(writev),          SCMP_SYS(recvmsg),
             SCMP_SYS(sendmsg),       SCMP_SYS(sendto),          SCMP_SYS(recvfrom),
             SCMP_SYS(lseek),         SCMP_SYS(fstat),           SCMP_SYS(newfstatat),
             SCMP_SYS(statx),         SCMP_SYS(close),           SCMP_SYS(mmap),
             SCMP_SYS(munmap),        SCMP_SYS(mremap),          SCMP_SYS(brk),
             SCMP_SYS(madvise),       SCMP_SYS(mprotect),        SCMP_SYS(futex),
             SCMP_SYS(exit),          SCMP_SYS(exit_group),      SCMP_SYS(rt_sigreturn),
             SCMP_SYS(rt_sigaction),  SCMP_SYS(rt_sigprocmask),  SCMP_SYS(sigaltstack),
             SCMP_SYS(clock_gettime), SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep),
             SCMP_SYS(gettimeofday),  SCMP_SYS(sched_yield),     SCMP_SYS(sched_getaffinity),
             SCMP_SYS(getpid),        SCMP_SYS(gettid),          SCMP_SYS(getrandom),
             SCMP_SYS(poll),          SCMP_SYS(ppoll),           SCMP_SYS(restart_syscall),
         })
        result |= seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
    // A signal the helper raises on itself (abort) still ends it the usual way.
    result |= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 0);
    for (int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2)})
        result |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0);
    if (result == 0)
        result = seccomp_load(filter);
    seccomp_release(filter);
    if (result != 0) {
        error = std::string("seccomp: ") + std::strerror(-result);
        return false;
    }
    return true;
}

} // namespace varnolet
