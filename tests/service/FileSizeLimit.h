// While it lives, writes beyond limit bytes of a regular file fail as on a full disk (the
// process's file-size limit, with SIGXFSZ ignored): for root and normal users alike.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace qtm::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_old;
        lower.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    sighandler_t m_oldSignal = SIG_DFL;
};

}  // namespace qtm::test
