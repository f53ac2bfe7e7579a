// SignalCloser: turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) into
// a call on the window's thread, so the program ends through its own shutdown instead of
// dying where it stands. One at a time; the old handlers come back when it goes.
#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

class SignalCloser : public QObject {
public:
    using Handler = std::function<void(int signal)>;

    explicit SignalCloser(Handler handler, QObject* parent = nullptr);
    ~SignalCloser() override;
    SignalCloser(const SignalCloser&) = delete;
    SignalCloser& operator=(const SignalCloser&) = delete;

    // False when the signals could not be taken over (they then act as before).
    bool Installed() const { return m_installed; }

private:
    static void OnSignal(int signal);
    void Deliver();

    Handler m_handler;
    std::array<int, 2> m_pipe{-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    std::array<struct sigaction, 3> m_previous{};
    bool m_installed = false;
};
