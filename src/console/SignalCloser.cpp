#include "console/SignalCloser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// Where the handler writes; a handler may only use what is safe in a signal.
volatile std::sig_atomic_t g_writeEnd = -1;

}  // namespace

SignalCloser::SignalCloser(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
    if (g_writeEnd >= 0 || ::pipe2(m_pipe.data(), O_NONBLOCK | O_CLOEXEC) != 0) return;
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Deliver(); });
    struct sigaction action {};
    action.sa_handler = &SignalCloser::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &m_previous[i]);
    m_installed = true;
}

SignalCloser::~SignalCloser() {
    if (!m_installed) {
        for (int fd : m_pipe)
            if (fd >= 0) ::close(fd);
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &m_previous[i], nullptr);
    g_writeEnd = -1;
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void SignalCloser::OnSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // A full pipe already holds a signal that is waiting to be handled.
    if (g_writeEnd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    }
    errno = saved;
}

void SignalCloser::Deliver() {
    char byte = 0;
    int signal = 0;
    while (::read(m_pipe[0], &byte, 1) == 1)
        signal = static_cast<unsigned char>(byte);
    if (signal != 0 && m_handler) m_handler(signal);
}
