#include "base/Retry.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace vornak::fileops {
using std::chrono::milliseconds;

namespace {

Sleep& SleepHook()
{
    static Sleep sleep;
    return sleep;
}

std::function<void()>& Waiting()
{
    thread_local std::function<void()> work;
    return work;
}

// A window that handles no messages for 5 s is marked "Not Responding"; a tenth of a second
// between two looks keeps it painting.
constexpr milliseconds kSlice{100};

void Wait(milliseconds delay)
{
    while (delay.count() > 0) {
        if (Waiting())
            Waiting()();
        const milliseconds slice = std::min(delay, kSlice);
        if (SleepHook())
            SleepHook()(slice);
        else
            std::this_thread::sleep_for(slice);
        delay -= slice;
    }
}

} // namespace

milliseconds BudgetOf(Patience patience)
{
    return patience == Patience::MapRename ? milliseconds(10000) : milliseconds(2000);
}

Retry::Retry(Patience patience)
    : budget_(BudgetOf(patience))
    , next_(10)
    , longest_(patience == Patience::MapRename ? milliseconds(1000) : milliseconds(500))
{
}

bool Retry::WaitAgain()
{
    if (waited_ >= budget_)
        return false;
    const milliseconds delay = std::min(next_, budget_ - waited_);
    Wait(delay);
    waited_ += delay;
    next_ = std::min(next_ * 2, longest_);
    return true;
}

void SetSleep(Sleep sleep)
{
    SleepHook() = std::move(sleep);
}

WhileWaiting::WhileWaiting(std::function<void()> work)
    : previous_(std::exchange(Waiting(), std::move(work)))
{
}

WhileWaiting::~WhileWaiting()
{
    Waiting() = std::move(previous_);
}

} // namespace vornak::fileops
