#pragma once

#include "archive/MapArchive.h"

#include <map>
#include <memory>
#include <string>

namespace vornak::bench {

// Passes every call through to the real archive, its sessions and staged copies, and adds up
// the time spent in each kind of operation, to show where an install's time goes.
class TimedMapArchive final : public MapArchive {
public:
    explicit TimedMapArchive(MapArchive& inner) : inner_(inner) {}

    // Milliseconds and call counts per operation, e.g. "stage" -> {31.2, 1}.
    struct Spent {
        double ms = 0;
        int calls = 0;
    };
    const std::map<std::string, Spent>& spent() const { return spent_; }

    std::unique_ptr<MapSession> Open(const std::filesystem::path& map) override;

    template <typename Call>
    auto Timed(const char* operation, Call call);

private:
    MapArchive& inner_;
    std::map<std::string, Spent> spent_;
};

} // namespace vornak::bench
