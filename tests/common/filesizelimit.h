#pragma once

#include <csignal>
#include <sys/resource.h>

// Lowers this process's file size limit for one test, which works even as
// root: a write beyond it fails with EFBIG, as on a full disk (SIGXFSZ is
// ignored meanwhile). The old limit and handler come back on destruction.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lower{bytes, old.rlim_max};
        ok = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    bool ok = false;
};
