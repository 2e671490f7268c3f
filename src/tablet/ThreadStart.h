#pragma once

#include <chrono>
#include <future>
#include <thread>
#include <utility>

// Starts body on a new thread and returns once that thread runs, or once limit has passed: the
// pause a component gives its new thread to get going, ended by the thread's start instead of
// the clock. Throws what std::thread throws when no thread can be created.
template <class Body>
std::thread StartThreadAwaitingRun(std::chrono::milliseconds limit, Body body) {
    std::promise<void> running;
    std::future<void> started = running.get_future();
    std::thread thread([running = std::move(running), body = std::move(body)]() mutable {
        running.set_value();
        body();
    });
    started.wait_for(limit);
    return thread;
}
