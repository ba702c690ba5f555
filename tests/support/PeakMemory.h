// The peak resident memory a piece of work takes, measured in a child
// process of its own, for the memory bounds that tests keep and the
// benchmarks report.
#pragma once

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace testsupport {

// How far above what was resident before it `work` took this process's
// resident memory at its peak, in megabytes, measured in a child process
// forked for it (the kernel's high-water mark is reset there first), so
// that neither earlier tests nor the allocator's leftovers count. -1 when
// the child could not measure or `work` ended it.
inline long peakGrowthMegabytesInChild(const std::function<void()>& work) {
    int channel[2];
    if (::pipe(channel) != 0) return -1;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        auto kilobytes = [](const char* key) {
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
            return -1L;
        };
        long growth = -1;
        // Memory the parent freed but kept would otherwise be used again
        // without counting.
        ::malloc_trim(0);
        if (std::ofstream("/proc/self/clear_refs") << "5") {
            long before = kilobytes("VmRSS:");
            work();
            long peak = kilobytes("VmHWM:");
            if (before >= 0 && peak >= 0) growth = (peak - before) / 1024;
        }
        ssize_t written = ::write(channel[1], &growth, sizeof growth);
        ::_exit(written == sizeof growth ? 0 : 1);
    }
    ::close(channel[1]);
    long growth = -1;
    if (child < 0 || ::read(channel[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    ::close(channel[0]);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    return growth;
}

}  // namespace testsupport
