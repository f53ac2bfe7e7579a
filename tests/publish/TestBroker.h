// Debian's mosquitto broker on a free loopback port with a config file of the test's own,
// and a libmosquitto subscriber that records what the broker hands it.
#pragma once

#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "publish/MosquittoConnection.h"

namespace qtm::test {

inline sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

inline bool ConnectsTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A port nothing listens on now: bound to port 0 by the system, then let go.
inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class TestBroker {
public:
    // extra: config lines of the test's own (a password file, TLS files).
    TestBroker(const std::filesystem::path& dir, int port, const std::string& extra = {})
        : m_port(port), m_config(dir / ("broker-" + std::to_string(port) + ".conf")) {
        const passwd* me = ::getpwuid(::geteuid());
        std::ofstream(m_config) << "listener " << port << " 127.0.0.1\n"
                                << "persistence false\n"
                                << "user " << (me ? me->pw_name : "root") << "\n"
                                << "log_dest file " << (dir / "broker.log").string() << "\n"
                                << (extra.empty() ? "allow_anonymous true\n" : extra);
    }
    ~TestBroker() { Stop(); }

    // Starts the broker and waits (at most 5 s) until it takes connections.
    bool Start() {
        const std::string output = (m_config.parent_path() / "broker.out").string();
        m_pid = ::fork();
        if (m_pid == 0) {
            // Its complaint about running as root is no test's business.
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::execl("/usr/sbin/mosquitto", "mosquitto", "-c", m_config.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 250 && m_pid > 0; ++i) {
            if (ConnectsTo(m_port)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void Stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    int Port() const { return m_port; }

private:
    int m_port;
    std::filesystem::path m_config;
    pid_t m_pid = -1;
};

struct Received {
    std::string topic;
    std::string payload;
    int qos = 0;
    bool retain = false;
};

// Subscribes to topics with QoS 1; the constructor returns once the broker confirmed them.
class TestSubscriber {
public:
    TestSubscriber(int port, const std::vector<std::string>& topics) {
        EnsureMosquittoLibrary();
        m_client = mosquitto_new(nullptr, true, this);
        mosquitto_subscribe_callback_set(m_client,
                                         [](mosquitto*, void* self, int, int, const int*) {
                                             auto* me = static_cast<TestSubscriber*>(self);
                                             std::lock_guard lock(me->m_mutex);
                                             ++me->m_subscribed;
                                             me->m_cv.notify_all();
                                         });
        mosquitto_message_callback_set(m_client, [](mosquitto*, void* self,
                                                    const mosquitto_message* message) {
            auto* me = static_cast<TestSubscriber*>(self);
            std::lock_guard lock(me->m_mutex);
            me->m_received.push_back({message->topic,
                                      std::string(static_cast<const char*>(message->payload),
                                                  static_cast<std::size_t>(message->payloadlen)),
                                      message->qos, message->retain});
            me->m_cv.notify_all();
        });
        if (mosquitto_connect(m_client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
        for (const auto& topic : topics)
            mosquitto_subscribe(m_client, nullptr, topic.c_str(), 1);
        mosquitto_loop_start(m_client);
        std::unique_lock lock(m_mutex);
        m_ready = m_cv.wait_for(lock, std::chrono::seconds(5),
                                [&] { return m_subscribed == topics.size(); });
    }
    ~TestSubscriber() {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, true);
        mosquitto_destroy(m_client);
    }
    bool Ready() const { return m_ready; }
    // What arrived once count messages are in, or when timeout passed.
    std::vector<Received> WaitFor(std::size_t count,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
        return m_received;
    }

private:
    mosquitto* m_client = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::size_t m_subscribed = 0;
    bool m_ready = false;
    std::vector<Received> m_received;
};

}  // namespace qtm::test
