#include "TimedMapArchive.h"

#include <chrono>
#include <stdexcept>

namespace vornak::bench {

template <typename Call>
auto TimedMapArchive::Timed(const char* operation, Call call)
{
    struct Stop {
        Spent& spent;
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        ~Stop()
        {
            spent.ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            ++spent.calls;
        }
    } stop{spent_[operation]};
    return call();
}

namespace {

// A map or a saved copy, read; only the map stages copies.
class TimedSession final : public MapSession {
public:
    TimedSession(TimedMapArchive& timer, std::unique_ptr<MapReader> reader, MapSession* session)
        : timer_(timer), reader_(std::move(reader)), session_(session)
    {
    }
    void ExtractEntry(const std::string& entry, const std::filesystem::path& destFolder, bool createFolder) override
    {
        timer_.Timed("extract", [&] { reader_->ExtractEntry(entry, destFolder, createFolder); });
    }
    bool HasEntry(const std::string& entry) override
    {
        return timer_.Timed("has", [&] { return reader_->HasEntry(entry); });
    }
    std::vector<std::uint8_t> ReadEntry(const std::string& entry) override
    {
        return timer_.Timed("read", [&] { return reader_->ReadEntry(entry); });
    }
    ArchiveListing List() override
    {
        return timer_.Timed("list", [&] { return reader_->List(); });
    }
    void Close() override
    {
        timer_.Timed("close", [&] { reader_->Close(); });
    }
    std::unique_ptr<StagedMap> Stage(const std::filesystem::path& target,
                                     std::span<const std::string_view> entries) override;

private:
    TimedMapArchive& timer_;
    std::unique_ptr<MapReader> reader_;
    MapSession* session_;
};

class TimedStaged final : public StagedMap {
public:
    TimedStaged(TimedMapArchive& timer, std::unique_ptr<StagedMap> inner) : timer_(timer), inner_(std::move(inner)) {}
    void Replace(const std::vector<NewEntry>& entries, int storage) override
    {
        timer_.Timed("replace", [&] { inner_->Replace(entries, storage); });
    }
    std::unique_ptr<MapReader> Save() override
    {
        auto saved = timer_.Timed("save", [&] { return inner_->Save(); });
        return std::make_unique<TimedSession>(timer_, std::move(saved), nullptr);
    }

private:
    TimedMapArchive& timer_;
    std::unique_ptr<StagedMap> inner_;
};

std::unique_ptr<StagedMap> TimedSession::Stage(const std::filesystem::path& target,
                                               std::span<const std::string_view> entries)
{
    if (session_ == nullptr)
        throw std::logic_error("a saved copy stages nothing");
    auto staged = timer_.Timed("stage", [&] { return session_->Stage(target, entries); });
    return std::make_unique<TimedStaged>(timer_, std::move(staged));
}

} // namespace

std::unique_ptr<MapSession> TimedMapArchive::Open(const std::filesystem::path& map)
{
    auto session = Timed("open", [&] { return inner_.Open(map); });
    MapSession* raw = session.get();
    return std::make_unique<TimedSession>(*this, std::move(session), raw);
}

} // namespace vornak::bench
