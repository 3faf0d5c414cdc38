#pragma once

#include <chrono>
#include <functional>

// Waiting out a refusal that passes by itself (platform::IsPassingRefusal): a virus scanner,
// a sync client or the search indexer holds a file for a moment after it is written.
namespace vornak::fileops {

enum class Patience {
    Step,      // every ordinary step: about 2 s in all
    MapRename, // the staged map taking the map's place, the step worth waiting for: about 10 s
};

// The waits between the attempts of one step: growing, and within its patience in all.
class Retry {
public:
    explicit Retry(Patience patience);
    // Waits before the next attempt; false, without waiting, once the patience is spent.
    bool WaitAgain();
    std::chrono::milliseconds waited() const { return waited_; }

private:
    std::chrono::milliseconds budget_;
    std::chrono::milliseconds next_;
    std::chrono::milliseconds longest_;
    std::chrono::milliseconds waited_{0};
};

std::chrono::milliseconds BudgetOf(Patience patience);

// Test seam: replaces the real sleep (nullptr restores it), so tests wait for nothing.
using Sleep = std::function<void(std::chrono::milliseconds)>;
void SetSleep(Sleep sleep);

// What the calling thread does between short sleeps while it waits (the window keeps painting
// and keeps its busy pointer), for as long as this object lives.
class WhileWaiting {
public:
    explicit WhileWaiting(std::function<void()> work);
    ~WhileWaiting();
    WhileWaiting(const WhileWaiting&) = delete;
    WhileWaiting& operator=(const WhileWaiting&) = delete;

private:
    std::function<void()> previous_;
};

} // namespace vornak::fileops
