// The test program, which also plays a logger killed mid-run: the will test starts it again
// as "test_publish --publish-then-die PORT SERIAL...", and once one reading per meter is
// acknowledged it kills itself.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "publish/MqttPublisher.h"

int main(int argc, char** argv) {
    if (argc < 4 || std::string(argv[1]) != "--publish-then-die") {
        ::testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    qtm::MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = std::stoi(argv[2]);
    settings.prefix = "will";
    settings.discovery = true;
    qtm::MqttPublisher publisher(settings);
    for (int i = 3; i < argc; ++i)
        publisher.AddMeter(argv[i], "QTM200", "lx", "°C");
    if (!publisher.Start(nullptr)) return 2;
    qtm::ReadingObject reading;
    for (int i = 3; i < argc; ++i) {
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
