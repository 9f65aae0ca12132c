// The processor time of this process so far (all its threads), user and
// kernel apart. On a loaded machine the wall-clock time of a transfer swings
// with the other processes; the processor time a loop spends in the process
// itself swings far less, and what our code adds to a loop shows in it.
#pragma once

#include <windows.h>

namespace quillon::bench {

struct ProcessCpu {
    double user = 0;
    double kernel = 0;
};

inline ProcessCpu process_cpu()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return {};
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return {seconds(user), seconds(kernel)};
}

} // namespace quillon::bench
