#pragma once

#include <csignal>
#include <sys/resource.h>

// Makes every write past a size fail, as a full disk does, for the object's
// life: the process's file-size limit is lowered (SIGXFSZ ignored, so the
// write returns an error instead of ending the test), and both are put back
// when the object goes.
class KvoFileSizeLimit
{
public:
    explicit KvoFileSizeLimit(rlim_t bytes);
    ~KvoFileSizeLimit();

    KvoFileSizeLimit(const KvoFileSizeLimit&) = delete;
    KvoFileSizeLimit& operator=(const KvoFileSizeLimit&) = delete;

private:
    rlimit m_old;
    void (*m_oldHandler)(int);
};
