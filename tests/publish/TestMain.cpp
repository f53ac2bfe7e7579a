// The test program, which also plays a logger that is killed mid-run: started again by the
// will test as "test_publish --publish-then-die PORT SERIAL...", it connects, publishes one
// reading per meter and, once they are acknowledged, kills itself.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>

#include "publish/MqttPublisher.h"

namespace {

int PublishThenDie(int argc, char** argv) {
    qtm::MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = std::stoi(argv[2]);
    settings.prefix = "will";
    settings.discovery = true;
    qtm::MqttPublisher publisher(settings);
    for (int i = 3; i < argc; ++i)
        publisher.AddMeter(argv[i], "QTM200", "lx", "°C");
    std::string why;
    if (!publisher.Start(&why)) return 2;
    for (int i = 3; i < argc; ++i) {
        qtm::ReadingObject reading;
        reading.serial = argv[i];
        publisher.Publish(qtm::ReadingColumns::UsbLive(), reading);
    }
    for (int tries = 0; tries < 500; ++tries) {
        if (publisher.Counters().delivered == static_cast<std::uint64_t>(argc - 3))
            ::raise(SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--publish-then-die")
        return PublishThenDie(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
