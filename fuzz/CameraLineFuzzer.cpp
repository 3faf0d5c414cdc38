// The script side on any bytes: the line reader at any buffer size, Encuentro, the camera
// line search and the template rewrite, each checked against a plain restatement of what it
// must do.

#include "FuzzFiles.h"
#include "install/CameraLineTransfer.h"
#include "install/InstallError.h"
#include "install/LineReader.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A line ends at CR, CR LF or LF; the last line needs no end.
std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(begin, i - begin));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        lines.emplace_back(text.substr(begin));
    return lines;
}

bool PlainEncuentro(std::string_view texto, std::string_view busco)
{
    if (busco.empty())
        return true; // found everywhere, even in an empty text
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::search(texto.begin(), texto.end(), busco.begin(), busco.end(),
                       [&](char a, char b) { return fold(a) == fold(b); }) != texto.end();
}

std::vector<std::string> ReadLines(const std::filesystem::path& path, std::size_t chunk)
{
    vornak::LineReader reader(path, chunk);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
    return lines;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks a buffer size, so that line ends fall across every kind of boundary.
    const std::size_t chunk = 1 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto script = vornak::fuzz::WriteScratch("war3map.j", data + 1, size - 1);

    const auto expected = SplitLines(text);
    if (ReadLines(script, chunk) != expected || ReadLines(script, vornak::LineReader::kDefaultChunk) != expected)
        vornak::fuzz::Broken("the line reader splits lines wrongly");

    std::vector<std::string> cameraLines;
    for (const auto& line : expected) {
        const bool found = vornak::Encuentro(line, vornak::kCameraCall);
        if (found != PlainEncuentro(line, vornak::kCameraCall))
            vornak::fuzz::Broken("Encuentro disagrees with a plain case-folding search");
        if (found)
            cameraLines.push_back(line);
    }
    // Encuentro on arbitrary pairs too: the second half sought in the first.
    const auto half = text.size() / 2;
    if (vornak::Encuentro(text.substr(0, half), text.substr(half, 24)) !=
        PlainEncuentro(text.substr(0, half), text.substr(half, 24)))
        vornak::fuzz::Broken("Encuentro disagrees on an arbitrary pair");

    const auto cameraLine = vornak::FindCameraLine(script);
    if (cameraLine.empty() != cameraLines.empty())
        vornak::fuzz::Broken("the camera line search missed or invented a line");
    if (!cameraLine.empty() && std::find(cameraLines.begin(), cameraLines.end(), cameraLine) == cameraLines.end())
        vornak::fuzz::Broken("the camera line is not a line of the script holding the call");

    // The script as a template: every line comes back with CR LF, camera lines replaced.
    const std::string replacement = "    call SetCameraBounds( 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0 )";
    const auto working = vornak::fuzz::ScratchFolder() / "war3map.j2";
    try {
        vornak::ReplaceCameraLines(script, working, replacement);
    } catch (const vornak::InstallError&) {
        vornak::fuzz::Broken("the template rewrite failed on a readable file");
    }
    std::string rewritten;
    for (const auto& line : expected)
        rewritten += (PlainEncuentro(line, vornak::kCameraCall) ? replacement : line) + "\r\n";
    if (ReadFile(script) != rewritten)
        vornak::fuzz::Broken("the rewritten template is not the script with its camera lines replaced");
    if (std::filesystem::exists(working))
        vornak::fuzz::Broken("the working copy outlived the rewrite");
    return 0;
}
