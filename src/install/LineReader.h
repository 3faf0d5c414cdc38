#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace vornak {

// Reads a text file line by line through a buffer of a few chunks, so that a script of any
// size costs only its longest line in memory. A line ends at CR, CR LF or LF; the end is not
// part of the line, and the last line needs none. Bytes are kept exactly as read.
class LineReader {
public:
    static constexpr std::size_t kDefaultChunk = std::size_t{256} * 1024;

    explicit LineReader(const std::filesystem::path& path, std::size_t chunkSize = kDefaultChunk);

    // Gives the next line, valid until the next call; false once the file holds no more lines.
    bool Next(std::string_view& line);

private:
    // Keeps the unread bytes, moved to the front, and reads the next chunk after them.
    void Fill();

    std::filesystem::path path_;
    std::ifstream in_;
    std::size_t chunk_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0; // first unread byte
    std::size_t scanned_ = 0; // bytes before this hold no line end (from begin_ on)
    std::size_t end_ = 0; // one past the last byte read
    bool atEof_ = false;
    // The last line ended at a CR whose LF, if any, may only arrive with the next chunk.
    bool skipLf_ = false;
};

} // namespace vornak
