#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornak {

// Writes a copy of a map without some of its entries, in one pass over the map: whatever
// precedes the archive is copied as it is, every other entry's stored bytes are copied whole
// (never unpacked) and packed one after the other, and the hash and block tables are written
// anew. Each entry keeps its place in the block table, so per-entry records such as
// (attributes) stay valid; the left-out names' hash slots are marked deleted, as the archive
// library marks them. The archive's own lists go last: the (listfile), which a change keeps,
// then (attributes) and (signature), where the library writes their new versions over them.
//
// Only maps whose tables read sound and plain are taken; obstacle() says why another is not,
// and that map is better copied whole and compacted by the archive library. Entries whose
// key depends on their place are re-encrypted where their name is known.
//
// Reading and writing go through fileops, so every step meets its fault points ("open-read",
// "read" on the map; "open-write", "write", "close" on the copy) and fails with FileError. The
// finished copy is flushed in the background ("writeback"), a head start whose failure is ignored.
class MpqRebuild {
public:
    // Reads and checks the map's tables and plans the copy. Throws FileError only when the
    // map cannot be read; a map the pass does not take gives an obstacle.
    MpqRebuild(const std::filesystem::path& map, std::span<const std::string_view> leftOut);

    // Empty when the pass takes the map.
    const std::string& obstacle() const { return obstacle_; }
    // The block table entries the copy leaves out.
    const std::vector<std::uint32_t>& leftOutBlocks() const { return leftOutBlocks_; }

    // Writes the copy to `target`, replacing it. Only when obstacle() is empty.
    void WriteTo(const std::filesystem::path& target);

private:
    // A stretch of an entry that is encrypted on its own: the sector table, or one sector.
    struct Piece {
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        std::uint32_t keyOffset = 0; // added to the entry's key
    };
    struct Move {
        std::uint32_t block = 0;
        std::uint32_t from = 0; // positions count from the archive header
        std::uint32_t to = 0;
        std::uint32_t length = 0;
        // Entries re-encrypted for their new place; stretches between pieces are copied as they are.
        std::vector<Piece> pieces;
        std::uint32_t oldKey = 0;
        std::uint32_t newKey = 0;
    };

    void Plan(std::span<const std::string_view> leftOut);
    bool PlanKey(Move& move, std::optional<std::string_view> name, std::uint32_t size, std::uint32_t flags);
    void Refuse(std::string reason) { obstacle_ = std::move(reason); }
    void Copy(std::ofstream& out, const std::filesystem::path& target, std::uint64_t from, std::uint64_t length);
    void Reencrypt(std::ofstream& out, const std::filesystem::path& target, const Move& move);
    std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t length);
    void Seek(std::uint64_t offset);
    void Read(char* into, std::size_t count);
    static void Write(std::ofstream& out, const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes);

    std::filesystem::path map_;
    std::ifstream in_;
    std::string obstacle_;
    std::uint64_t headerOffset_ = 0;
    std::uint16_t sectorShift_ = 0;
    std::vector<std::uint32_t> hashTable_;
    std::vector<std::uint32_t> blockTable_;
    std::vector<Move> moves_; // in the order they are written
    std::uint64_t dataEnd_ = 0; // where the tables go
    std::vector<std::uint32_t> leftOutBlocks_;
    std::vector<char> buffer_;
};

} // namespace vornak
