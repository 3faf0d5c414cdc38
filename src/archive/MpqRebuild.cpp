#include "archive/MpqRebuild.h"

#include "archive/MpqCipher.h"
#include "archive/MpqFormat.h"
#include "archive/MpqStructureCheck.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace vornak {
namespace fs = std::filesystem;

namespace {

using namespace mpq;

// Copies go through a buffer of this size; a re-encrypted stretch is held whole, up to the limit.
constexpr std::size_t kChunk = 1 << 20;
constexpr std::uint32_t kLargestPiece = 16u << 20;

// The archive's own lists: their names are known, and the library rewrites them on every change.
constexpr std::array<std::string_view, 3> kOwnLists = {"(listfile)", "(attributes)", "(signature)"};

struct NameHash {
    std::uint32_t a = 0;
    std::uint32_t b = 0;

    explicit NameHash(std::string_view name)
        : a(mpq::HashName(name, mpq::HashKind::NameA))
        , b(mpq::HashName(name, mpq::HashKind::NameB))
    {
    }
    bool Names(const std::uint32_t* slot) const { return slot[0] == a && slot[1] == b; }
};

std::vector<std::uint8_t> ToBytes(const std::vector<std::uint32_t>& words)
{
    std::vector<std::uint8_t> bytes(words.size() * 4);
    for (std::size_t i = 0; i < words.size(); ++i)
        le::WriteUint32(bytes, i * 4, words[i]);
    return bytes;
}

} // namespace

MpqRebuild::MpqRebuild(const fs::path& map, std::span<const std::string_view> leftOut)
    : map_(map)
{
    // The stored bytes are copied, never unpacked here: their sectors need no look.
    const MpqStructureCheck check(map, MpqStructureCheck::Keep::Tables, MpqStructureCheck::Sectors::Skip);
    if (!check.sound()) {
        Refuse(check.headerFound() ? "its structure is damaged: " + check.problem() : "it holds no archive");
        return;
    }
    const MpqStructureCheck::Header& header = check.header();
    if (header.formatVersion != 0 || header.size != kHeaderSize) {
        Refuse("its archive header is not of the first format");
        return;
    }
    headerOffset_ = header.offset;
    sectorShift_ = header.sectorShift;
    hashTable_ = check.hashTable();
    blockTable_ = check.blockTable();
    in_ = fileops::OpenForReading(map);
    Plan(leftOut);
}

void MpqRebuild::Plan(std::span<const std::string_view> leftOut)
{
    const auto blocks = static_cast<std::uint32_t>(blockTable_.size() / kEntryWords);
    const auto word = [&](std::uint32_t block, std::uint32_t field) -> std::uint32_t& {
        return blockTable_[std::size_t{block} * kEntryWords + field];
    };
    std::vector<NameHash> leftOutNames;
    for (const auto name : leftOut)
        leftOutNames.emplace_back(name);
    std::vector<NameHash> ownLists;
    for (const auto name : kOwnLists)
        ownLists.emplace_back(name);

    // Which blocks the hash table names, and how; a left-out name's slot becomes a deleted
    // one, which keeps every other name's search chain intact.
    std::vector<std::uint8_t> uses(blocks, 0);
    std::vector<bool> dropped(blocks, false);
    std::vector<std::optional<std::string_view>> ownList(blocks);
    for (std::size_t at = 0; at + kEntryWords <= hashTable_.size(); at += kEntryWords) {
        std::uint32_t* slot = &hashTable_[at];
        const std::uint32_t block = slot[3];
        if (block == kFreeSlot || block == kDeletedSlot)
            continue;
        if (block >= blocks || (word(block, 3) & kFileExists) == 0)
            return Refuse("a hash entry points at no entry");
        if (++uses[block] > 1)
            return Refuse("two names share one entry's data");
        if (std::any_of(leftOutNames.begin(), leftOutNames.end(), [&](const NameHash& n) { return n.Names(slot); })) {
            dropped[block] = true;
            std::fill_n(slot, 3, kFreeSlot);
            slot[3] = kDeletedSlot;
            continue;
        }
        for (std::size_t i = 0; i < ownLists.size(); ++i)
            if (ownLists[i].Names(slot))
                ownList[block] = kOwnLists[i];
    }

    std::vector<Move> moves;
    for (std::uint32_t block = 0; block < blocks; ++block) {
        if ((word(block, 3) & kFileExists) == 0 || dropped[block]) {
            if (dropped[block])
                leftOutBlocks_.push_back(block);
            std::fill_n(&word(block, 0), kEntryWords, 0u); // a free block entry
            continue;
        }
        Move move;
        move.block = block;
        move.from = word(block, 0);
        move.length = word(block, 1);
        moves.push_back(move);
    }
    // In the order of the map, which the copy reads straight through; entries that overlap
    // are something no map writer makes.
    std::sort(moves.begin(), moves.end(), [](const Move& x, const Move& y) { return x.from < y.from; });
    std::uint64_t reached = 0;
    for (const Move& move : moves) {
        if (move.length == 0)
            continue;
        if (move.from < reached)
            return Refuse("two entries overlap");
        reached = std::uint64_t{move.from} + move.length;
    }
    // The library replaces (attributes) and (signature) on every change and reuses the space of
    // what lies last; the (listfile), which a change keeps, goes before them.
    const auto own = std::stable_partition(moves.begin(), moves.end(), [&](const Move& move) { return !ownList[move.block]; });
    std::stable_partition(own, moves.end(), [&](const Move& move) { return ownList[move.block] == kOwnLists[0]; });

    const std::uint64_t tableBytes = (hashTable_.size() + blockTable_.size()) * 4;
    std::uint64_t at = kHeaderSize;
    for (Move& move : moves) {
        if (at + move.length + tableBytes > 0xFFFFFFFFu)
            return Refuse("the archive would outgrow its 32-bit positions");
        move.to = static_cast<std::uint32_t>(at);
        at += move.length;
        const std::uint32_t flags = word(move.block, 3);
        if ((flags & kFileEncrypted) != 0 && (flags & kFileFixKey) != 0 && move.to != move.from && move.length != 0 &&
            !PlanKey(move, ownList[move.block], word(move.block, 2), flags))
            return;
        word(move.block, 0) = move.to;
    }
    dataEnd_ = at;
    moves_ = std::move(moves);
}

bool MpqRebuild::PlanKey(Move& move, std::optional<std::string_view> name, std::uint32_t size, std::uint32_t flags)
{
    // The key is the name's, moved by the entry's place and size.
    if (!name) {
        Refuse("an entry whose key depends on its place has a name not known here");
        return false;
    }
    if ((flags & kFileSectorCrc) != 0 || size == 0) {
        Refuse("an entry whose key depends on its place is stored in an unusual way");
        return false;
    }
    const std::uint32_t key = mpq::HashName(*name, mpq::HashKind::FileKey);
    move.oldKey = (key + move.from) ^ size;
    move.newKey = (key + move.to) ^ size;

    const std::uint32_t sectorSize = 512u << sectorShift_;
    if ((flags & kFileSingleUnit) != 0) {
        move.pieces.push_back({0, move.length, 0});
    } else if ((flags & (kFileImplode | kFileCompress)) != 0) {
        // Sectors as the entry's own table places them: the table is encrypted with the key
        // less one, each sector with the key plus its number.
        const std::uint32_t sectors = (size - 1) / sectorSize + 1;
        const std::uint64_t tableBytes = (std::uint64_t{sectors} + 1) * 4;
        if (tableBytes > move.length) {
            Refuse("an entry whose key depends on its place is smaller than its own sector table");
            return false;
        }
        auto table = ReadAt(headerOffset_ + move.from, static_cast<std::size_t>(tableBytes));
        mpq::DecryptTable(table, move.oldKey - 1);
        move.pieces.push_back({0, static_cast<std::uint32_t>(tableBytes), 0xFFFFFFFFu});
        for (std::uint32_t s = 0; s < sectors; ++s) {
            const std::uint32_t begin = le::ReadUint32(table, s * 4);
            const std::uint32_t end = le::ReadUint32(table, s * 4 + 4);
            if (begin != move.pieces.back().end || end <= begin || end > move.length) {
                Refuse("an entry whose key depends on its place has a sector table that does not read");
                return false;
            }
            move.pieces.push_back({begin, end, s});
        }
    } else {
        // Stored as they are, sector by sector.
        for (std::uint64_t begin = 0, s = 0; begin < move.length; begin += sectorSize, ++s)
            move.pieces.push_back({static_cast<std::uint32_t>(begin),
                                   static_cast<std::uint32_t>(std::min<std::uint64_t>(move.length, begin + sectorSize)),
                                   static_cast<std::uint32_t>(s)});
    }
    const auto tooLarge = [](const Piece& piece) { return piece.end - piece.begin > kLargestPiece; };
    if (std::any_of(move.pieces.begin(), move.pieces.end(), tooLarge)) {
        Refuse("an entry whose key depends on its place is too large to re-encrypt");
        return false;
    }
    return true;
}

void MpqRebuild::WriteTo(const fs::path& target)
{
    buffer_.resize(kChunk);
    auto out = fileops::OpenForWriting(target);
    Copy(out, target, 0, headerOffset_);

    const auto hashBytes = static_cast<std::uint32_t>(hashTable_.size() * 4);
    const auto blockBytes = static_cast<std::uint32_t>(blockTable_.size() * 4);
    const auto hashPos = static_cast<std::uint32_t>(dataEnd_);
    std::vector<std::uint8_t> header(kHeaderSize);
    le::WriteUint32(header, 0, kMpqId);
    le::WriteUint32(header, 4, kHeaderSize);
    le::WriteUint32(header, 8, hashPos + hashBytes + blockBytes);
    le::WriteUint16(header, 12, 0);
    le::WriteUint16(header, 14, sectorShift_);
    le::WriteUint32(header, 16, hashPos);
    le::WriteUint32(header, 20, hashPos + hashBytes);
    le::WriteUint32(header, 24, static_cast<std::uint32_t>(hashTable_.size() / kEntryWords));
    le::WriteUint32(header, 28, static_cast<std::uint32_t>(blockTable_.size() / kEntryWords));
    Write(out, target, header);

    for (std::size_t i = 0; i < moves_.size();) {
        if (!moves_[i].pieces.empty()) {
            Reencrypt(out, target, moves_[i++]);
            continue;
        }
        // Entries that follow each other in the map are copied in one go.
        const std::uint32_t from = moves_[i].from;
        std::uint64_t end = std::uint64_t{from} + moves_[i].length;
        for (++i; i < moves_.size() && moves_[i].pieces.empty() && moves_[i].from == end; ++i)
            end += moves_[i].length;
        Copy(out, target, headerOffset_ + from, end - from);
    }

    auto hashes = ToBytes(hashTable_);
    mpq::EncryptTable(hashes, mpq::HashName("(hash table)", mpq::HashKind::FileKey));
    Write(out, target, hashes);
    auto blocks = ToBytes(blockTable_);
    mpq::EncryptTable(blocks, mpq::HashName("(block table)", mpq::HashKind::FileKey));
    Write(out, target, blocks);
    fileops::Close(out, target);
    // The disk takes the copy while the caller goes on; its flush before using the copy then
    // waits for what changed since.
    fileops::FlushInBackground(target);
}

void MpqRebuild::Reencrypt(std::ofstream& out, const fs::path& target, const Move& move)
{
    const std::uint64_t entry = headerOffset_ + move.from;
    std::uint32_t at = 0;
    for (const Piece& piece : move.pieces) {
        Copy(out, target, entry + at, piece.begin - at);
        auto bytes = ReadAt(entry + piece.begin, piece.end - piece.begin);
        mpq::DecryptTable(bytes, move.oldKey + piece.keyOffset);
        mpq::EncryptTable(bytes, move.newKey + piece.keyOffset);
        Write(out, target, bytes);
        at = piece.end;
    }
    Copy(out, target, entry + at, move.length - at);
}

void MpqRebuild::Copy(std::ofstream& out, const fs::path& target, std::uint64_t from, std::uint64_t length)
{
    if (length == 0)
        return;
    Seek(from);
    while (length > 0) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer_.size()));
        Read(buffer_.data(), count);
        out.write(buffer_.data(), static_cast<std::streamsize>(count));
        fileops::CheckWrite(out, target);
        length -= count;
    }
}

std::vector<std::uint8_t> MpqRebuild::ReadAt(std::uint64_t offset, std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    Seek(offset);
    Read(reinterpret_cast<char*>(bytes.data()), length);
    return bytes;
}

void MpqRebuild::Seek(std::uint64_t offset)
{
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
}

void MpqRebuild::Read(char* into, std::size_t count)
{
    in_.read(into, static_cast<std::streamsize>(count));
    fileops::CheckRead(in_, map_);
    // The map was checked to hold every entry; a shorter one changed under us.
    if (static_cast<std::size_t>(in_.gcount()) != count)
        throw FileError(std::make_error_code(std::errc::io_error),
                        "Cannot read '" + fileops::Display(map_) + "': it ended before the entries it holds");
}

void MpqRebuild::Write(std::ofstream& out, const fs::path& target, const std::vector<std::uint8_t>& bytes)
{
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    fileops::CheckWrite(out, target);
}

} // namespace vornak
