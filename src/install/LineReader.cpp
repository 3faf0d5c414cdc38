#include "install/LineReader.h"

#include "base/FileOps.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vornak {

namespace {

// Eight bytes at a time: only a byte below 14 can be CR or LF, and text holds few of those.
// Profiling showed the byte-by-byte loop as the larger part of a whole script scan.
const char* FindLineEnd(const char* p, const char* end)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        // Marks every byte below 14; the lowest-addressed mark is always exact.
        const std::uint64_t below14 = (word - kOnes * 14) & ~word & kHighs;
        if (below14 == 0) {
            p += 8;
            continue;
        }
        const int first = std::endian::native == std::endian::little ? std::countr_zero(below14) / 8
                                                                       : std::countl_zero(below14) / 8;
        p += first;
        if (*p == '\r' || *p == '\n')
            return p;
        ++p; // a tab or another control byte
    }
    for (; p != end; ++p) {
        if (*p == '\r' || *p == '\n')
            return p;
    }
    return nullptr;
}

} // namespace

LineReader::LineReader(const std::filesystem::path& path, std::size_t chunkSize)
    : path_(path), in_(fileops::OpenForReading(path)), chunk_(std::max<std::size_t>(chunkSize, 1)),
      buffer_(chunk_)
{
}

bool LineReader::Next(std::string_view& line)
{
    for (;;) {
        if (skipLf_) {
            if (begin_ == end_ && !atEof_) {
                Fill();
                continue;
            }
            if (begin_ != end_ && buffer_[begin_] == '\n')
                ++begin_;
            scanned_ = std::max(scanned_, begin_);
            skipLf_ = false;
        }

        const char* const base = buffer_.data();
        if (const char* found = FindLineEnd(base + scanned_, base + end_)) {
            const auto at = static_cast<std::size_t>(found - base);
            line = std::string_view(base + begin_, at - begin_);
            skipLf_ = *found == '\r';
            begin_ = scanned_ = at + 1;
            return true;
        }
        scanned_ = end_;

        if (atEof_) {
            if (begin_ == end_)
                return false;
            line = std::string_view(base + begin_, end_ - begin_);
            begin_ = scanned_ = end_;
            return true;
        }
        Fill();
    }
}

void LineReader::Fill()
{
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        scanned_ -= begin_;
        begin_ = 0;
    }
    // A line longer than the buffer: let the buffer grow to hold it whole.
    if (buffer_.size() - end_ < chunk_)
        buffer_.resize(std::max(buffer_.size() * 2, end_ + chunk_));

    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    fileops::CheckRead(in_, path_);
    end_ += static_cast<std::size_t>(in_.gcount());
    if (in_.eof())
        atEof_ = true;
}

} // namespace vornak
