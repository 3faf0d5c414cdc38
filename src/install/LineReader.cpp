#include "install/LineReader.h"

#include "install/FileOps.h"

#include <algorithm>
#include <cstring>

namespace vornak {

namespace {

// CR and LF are the only bytes up to 13 that matter, so most bytes leave after one compare.
const char* FindLineEnd(const char* p, const char* end)
{
    for (; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= '\r' && (c == '\r' || c == '\n'))
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
