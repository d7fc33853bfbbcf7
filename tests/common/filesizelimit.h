#pragma once

#include <csignal>
#include <sys/resource.h>

// Lowers the file size limit of this process for one test, which works even
// as root: a write beyond it fails with EFBIG (SIGXFSZ is ignored meanwhile)
// as on a full disk. The old limit and handler come back on destruction.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit l = old;
        l.rlim_cur = bytes;
        ok = setrlimit(RLIMIT_FSIZE, &l) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok = false;

private:
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
};
