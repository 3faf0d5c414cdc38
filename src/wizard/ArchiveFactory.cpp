#include "wizard/ArchiveFactory.h"

#if VORNAK_HAVE_STORM_ARCHIVE
#include "archive/StormMapArchive.h"
#else
#include "archive/ArchiveError.h"
#endif

namespace vornak::wizard {

#if VORNAK_HAVE_STORM_ARCHIVE

std::unique_ptr<MapArchive> MakeMapArchive()
{
    return std::make_unique<StormMapArchive>();
}

#else

namespace {
// Stands in while the archive layer is not part of the build: every change is refused
// with a clear reason instead of a failed link.
class MissingArchive : public MapArchive {
public:
    void ExtractEntry(const std::filesystem::path& map, const std::string& entry, const std::filesystem::path&,
                      bool) override
    {
        Refuse("extract", map, entry);
    }
    bool HasEntry(const std::filesystem::path& map, const std::string& entry) override
    {
        Refuse("test", map, entry);
    }
    void DeleteEntry(const std::filesystem::path& map, const std::string& entry) override
    {
        Refuse("delete", map, entry);
    }
    void AddEntry(const std::filesystem::path& map, const std::filesystem::path&, const std::string& entry,
                  int) override
    {
        Refuse("add", map, entry);
    }
    void CheckWritable(const std::filesystem::path& map) override { Refuse("open", map, {}); }
    ArchiveListing List(const std::filesystem::path& map, const std::vector<std::filesystem::path>&) override
    {
        Refuse("list", map, {});
    }
    std::vector<std::uint8_t> ReadEntry(const std::filesystem::path& map, const std::string& entry) override
    {
        Refuse("read", map, entry);
    }
    bool Compact(const std::filesystem::path& map, const std::vector<std::filesystem::path>&) override
    {
        Refuse("compact", map, {});
    }

private:
    [[noreturn]] static void Refuse(const std::string& operation, const std::filesystem::path& map,
                                    const std::string& entry)
    {
        throw ArchiveError(operation, map.string(), entry, "this build has no map archive support");
    }
};
} // namespace

std::unique_ptr<MapArchive> MakeMapArchive()
{
    return std::make_unique<MissingArchive>();
}

#endif

} // namespace vornak::wizard
