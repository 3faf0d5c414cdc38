#include "install/CameraLineTransfer.h"

#include "base/AsciiCase.h"
#include "base/FileOps.h"
#include "install/LineReader.h"

#include <array>
#include <optional>

namespace vornak {

namespace {

unsigned char Upper(char c)
{
    return static_cast<unsigned char>(ToUpperAscii(c));
}

// Horspool's search with the letters A to Z folded: the byte under the needle's last place
// tells how far the needle may move, mostly most of its length, so a script line is passed
// over in a few steps instead of testing every place that starts like the needle.
class FoldedSearch {
public:
    explicit FoldedSearch(std::string_view needle) : needle_(needle)
    {
        shift_.fill(needle.size());
        for (std::size_t i = 0; i + 1 < needle.size(); ++i)
            shift_[Upper(needle[i])] = needle.size() - 1 - i;
    }

    bool In(std::string_view text) const
    {
        const std::size_t n = needle_.size();
        if (n == 0)
            return true;
        const unsigned char last = Upper(needle_[n - 1]);
        for (std::size_t at = 0; text.size() - at >= n;) {
            const unsigned char under = Upper(text[at + n - 1]);
            if (under == last && MatchesAt(text.data() + at))
                return true;
            at += shift_[under];
        }
        return false;
    }

private:
    bool MatchesAt(const char* at) const
    {
        for (std::size_t k = 0; k + 1 < needle_.size(); ++k) {
            if (Upper(at[k]) != Upper(needle_[k]))
                return false;
        }
        return true;
    }

    std::string_view needle_;
    std::array<std::size_t, 256> shift_{};
};

const FoldedSearch& CameraCallSearch()
{
    static const FoldedSearch search(kCameraCall);
    return search;
}

void SkipBlanks(std::string_view& line)
{
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    line.remove_prefix(i);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// A word that ends the text or is followed by a blank: keeps `function main2` out of main.
bool TakeWord(std::string_view& text, std::string_view word)
{
    // The first byte alone turns most lines away without a call to compare.
    if (text.empty() || text.front() != word.front() || !text.starts_with(word) ||
        (text.size() > word.size() && !IsBlank(text[word.size()])))
        return false;
    text.remove_prefix(word.size());
    return true;
}

bool StartsMain(std::string_view line)
{
    SkipBlanks(line);
    if (!TakeWord(line, "function"))
        return false;
    SkipBlanks(line);
    return TakeWord(line, "main");
}

bool EndsFunction(std::string_view line)
{
    SkipBlanks(line);
    if (!line.starts_with("endfunction"))
        return false;
    line.remove_prefix(std::string_view("endfunction").size());
    return line.empty() || IsBlank(line.front()) || line.starts_with("//");
}

// Collects the rewritten script in large blocks: one stream write per line would cost more
// than the scan itself.
class BlockWriter {
public:
    BlockWriter(std::ofstream& out, const std::filesystem::path& path) : out_(out), path_(path)
    {
        block_.reserve(kBlock);
    }

    void Line(std::string_view text)
    {
        block_.append(text);
        block_.append("\r\n");
        if (block_.size() >= kBlock)
            Flush();
    }

    void Flush()
    {
        out_.write(block_.data(), static_cast<std::streamsize>(block_.size()));
        fileops::CheckWrite(out_, path_);
        block_.clear();
    }

private:
    static constexpr std::size_t kBlock = std::size_t{256} * 1024;
    std::ofstream& out_;
    const std::filesystem::path& path_;
    std::string block_;
};

} // namespace

bool Encuentro(std::string_view texto, std::string_view busco)
{
    if (busco.size() > texto.size())
        return false;
    return FoldedSearch(busco).In(texto);
}

std::string FindCameraLine(const std::filesystem::path& script)
{
    // A helper function before main may call SetCameraBounds with its own locals, which
    // would not compile in the template's main; main's own call is the one to carry over.
    LineReader reader(script);
    std::optional<std::string> firstAnywhere;
    bool inMain = false;
    bool mainDone = false;
    std::string_view line;
    while (reader.Next(line)) {
        const bool holdsCall = CameraCallSearch().In(line);
        // The lines that open and close main are not inside it, but a call on them (behind a
        // comment) still counts as one found anywhere.
        if (!mainDone && !inMain && StartsMain(line)) {
            inMain = true;
            if (holdsCall && !firstAnywhere)
                firstAnywhere.emplace(line);
            continue;
        }
        if (inMain && EndsFunction(line)) {
            inMain = false;
            mainDone = true;
            if (holdsCall && !firstAnywhere)
                firstAnywhere.emplace(line);
            if (firstAnywhere)
                return *firstAnywhere;
            continue;
        }
        if (!holdsCall)
            continue;
        if (inMain || mainDone)
            return std::string(line);
        if (!firstAnywhere)
            firstAnywhere.emplace(line);
    }
    return firstAnywhere.value_or(std::string());
}

void ReplaceCameraLines(const std::filesystem::path& templateScript, const std::filesystem::path& workingCopy,
                        const std::string& cameraLine)
{
    // The template is read while its new text goes to the working copy, which then takes its
    // place in one rename: a failure at any point leaves the template as it was.
    fileops::ReplaceAtomically(templateScript, workingCopy, [&](std::ofstream& out) {
        LineReader reader(templateScript);
        BlockWriter writer(out, workingCopy);
        std::string_view line;
        while (reader.Next(line))
            writer.Line(CameraCallSearch().In(line) ? std::string_view(cameraLine) : line);
        writer.Flush();
    });
}

} // namespace vornak
