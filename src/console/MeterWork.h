// MeterWork: runs a meter operation off the window's thread while the window keeps painting.
// The operator cannot press anything meanwhile (input events wait), so a handler still reads
// as one step from button to message, without freezing the window for the protocol's pauses.
#pragma once

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <optional>
#include <thread>
#include <type_traits>

#include "console/WaitCursor.h"

// pause (when given) is a timer whose own meter traffic must wait until the work is done; it
// runs again afterwards if it ran before.
template <typename Work>
auto RunMeterWork(Work&& work, QTimer* pause = nullptr) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    WaitCursor wait;
    const bool resume = pause && pause->isActive();
    if (resume) pause->stop();
    QEventLoop loop;
    std::optional<Result> result;
    std::thread worker([&] {
        result.emplace(work());
        // Queued by name: the loop may not have started yet, and quits once it has.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (resume) pause->start();
    return std::move(*result);
}
