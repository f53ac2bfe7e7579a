// MeterWork: runs a meter operation off the window's thread while the window keeps painting.
// The operator cannot press anything meanwhile (input events wait), so a handler still reads
// as one step from button to message, without freezing the window for the protocol's pauses.
#pragma once

#include <QEventLoop>
#include <QMetaObject>
#include <optional>
#include <thread>
#include <type_traits>

#include "console/WaitCursor.h"

template <typename Work>
auto RunMeterWork(Work&& work) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    WaitCursor wait;
    QEventLoop loop;
    std::optional<Result> result;
    std::thread worker([&] {
        result.emplace(work());
        // Queued: the loop may not have started yet, and quits once it has.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return std::move(*result);
}
