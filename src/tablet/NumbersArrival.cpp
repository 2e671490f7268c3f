#include "tablet/NumbersArrival.h"

uint64_t NumbersArrival::Count() const {
    std::lock_guard<std::mutex> hold(lock);
    return count;
}

void NumbersArrival::Note() {
    {
        std::lock_guard<std::mutex> hold(lock);
        ++count;
    }
    arrived.notify_all();
}

bool NumbersArrival::WaitBeyond(uint64_t seen, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> hold(lock);
    return arrived.wait_for(hold, limit, [this, seen] { return count > seen; });
}
