#include "child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace tracksieve::testing {
namespace {

bool answerOfChild(const std::function<bool()>& prepare, const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        try {
            _exit(prepare() && check() ? 0 : 1);
        } catch (...) {
            _exit(1);
        }
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

bool holdsUnprivileged(const std::function<bool()>& check) {
    if (geteuid() != 0) return check();
    return answerOfChild([] { return setgid(65534) == 0 && setuid(65534) == 0; }, check);
}

bool holdsWithinMemory(std::size_t headroomBytes, const std::function<bool()>& check) {
    return answerOfChild(
        [headroomBytes] {
            const rlimit cpu{60, 60};
            const rlim_t space = addressSpaceInUse() + headroomBytes;
            const rlimit addressSpace{space, space};
            if (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_AS, &addressSpace) != 0) return false;
            // Memory the parent freed but kept would serve large requests beyond the limit: take
            // everything there is, then give back exactly the headroom. The blocks are chained
            // through their own first bytes, so that holding them needs no memory of its own.
            constexpr std::size_t kBlockBytes = 64 * 1024;
            void* held = nullptr;
            while (void* block = std::malloc(kBlockBytes)) {
                *static_cast<void**>(block) = held;
                held = block;
            }
            for (std::size_t freed = 0; held != nullptr && freed < headroomBytes; freed += kBlockBytes) {
                void* next = *static_cast<void**>(held);
                std::free(held);
                held = next;
            }
            return true;
        },
        check);
}

bool holdsWithOpenFiles(int count, const std::function<bool()>& check) {
    return answerOfChild(
        [count] {
            const rlim_t limit = static_cast<rlim_t>(STDERR_FILENO + 1 + count);
            for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) close(fd);
            const rlimit files{limit, limit};
            return setrlimit(RLIMIT_NOFILE, &files) == 0;
        },
        check);
}

bool addressSpaceIsLimitable() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

}  // namespace tracksieve::testing
