#include "install/CameraLineTransfer.h"

#include "base/AsciiCase.h"
#include "base/FileOps.h"
#include "install/LineReader.h"

#include <array>
#include <cstring>
#include <optional>

namespace vornak {

namespace {

unsigned char Upper(char c)
{
    return static_cast<unsigned char>(ToUpperAscii(c));
}

// Whether busco stands at `at`, its first byte already known to agree.
bool MatchesFrom(const char* at, std::string_view busco)
{
    for (std::size_t k = 1; k < busco.size(); ++k) {
        if (Upper(at[k]) != Upper(busco[k]))
            return false;
    }
    return true;
}

const char* FindByte(const char* from, const char* last, unsigned char byte)
{
    if (from > last)
        return nullptr;
    return static_cast<const char*>(std::memchr(from, byte, static_cast<std::size_t>(last - from) + 1));
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
    if (!text.starts_with(word) || (text.size() > word.size() && !IsBlank(text[word.size()])))
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
    const std::size_t n = busco.size();
    if (n > texto.size())
        return false;
    if (n == 0)
        return true;

    // Only positions whose first byte folds to busco's first byte can match; memchr finds them
    // far faster than folding every position.
    const char* const last = texto.data() + (texto.size() - n);
    const unsigned char upper = Upper(busco.front());
    const bool letter = upper >= 'A' && upper <= 'Z';
    const unsigned char lower = letter ? static_cast<unsigned char>(upper + ('a' - 'A')) : upper;

    if (!letter) {
        for (const char* hit = FindByte(texto.data(), last, upper); hit; hit = FindByte(hit + 1, last, upper)) {
            if (MatchesFrom(hit, busco))
                return true;
        }
        return false;
    }

    // The next hit of each case is kept, so neither is searched for twice over the same bytes.
    const char* nextUpper = FindByte(texto.data(), last, upper);
    const char* nextLower = FindByte(texto.data(), last, lower);
    while (nextUpper || nextLower) {
        const bool takeUpper = nextUpper && (!nextLower || nextUpper < nextLower);
        const char* hit = takeUpper ? nextUpper : nextLower;
        if (MatchesFrom(hit, busco))
            return true;
        if (takeUpper)
            nextUpper = FindByte(hit + 1, last, upper);
        else
            nextLower = FindByte(hit + 1, last, lower);
    }
    return false;
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
        const bool holdsCall = Encuentro(line, kCameraCall);
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
            writer.Line(Encuentro(line, kCameraCall) ? std::string_view(cameraLine) : line);
        writer.Flush();
    });
}

} // namespace vornak
