#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

#include <QCoroTask>

// Runs the event loop until a task finishes and hands back its result; works for result
// types without a default constructor (Result<T, E>), which QCoro::waitFor needs.
// Returns nullopt when the task has not finished within `limit` (a hung test fails
// instead of blocking the suite); the task may still finish later, harmlessly.
namespace razotest {

namespace detail {

template <typename T> struct AwaitState
{
    std::optional<T> result;
    QEventLoop* loop = nullptr;
};

template <typename T> QCoro::Task<> runInto(QCoro::Task<T> task, std::shared_ptr<AwaitState<T>> state)
{
    T value = co_await std::move(task);
    state->result.emplace(std::move(value));
    if (state->loop)
        state->loop->quit();
}

} // namespace detail

template <typename T>
std::optional<T> awaitTask(QCoro::Task<T>&& task, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    auto state = std::make_shared<detail::AwaitState<T>>();
    detail::runInto<T>(std::move(task), state); // runs until its first suspension
    if (!state->result) {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(limit);
        state->loop = &loop;
        loop.exec();
        state->loop = nullptr;
    }
    return std::move(state->result);
}

} // namespace razotest
