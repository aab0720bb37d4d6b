#pragma once

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Puts the calling thread behind the sound and the window, for the processor
// and the disk: a worker that writes a long list or a history must not make
// the next file wait.
inline void yieldToPlayback() {
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10);
    constexpr int kWhoThisThread = 1, kBestEffort = 2, kClassShift = 13, kLowest = 7;
    ::syscall(SYS_ioprio_set, kWhoThisThread, 0, (kBestEffort << kClassShift) | kLowest);
}
