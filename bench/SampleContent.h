#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Made-up but realistic content for benchmark maps: scripts as the editor writes them,
// map info records, and entry data that compresses well or not at all.
namespace vornak::bench {

using Bytes = std::vector<std::uint8_t>;
using Rng = std::mt19937_64;

// The camera line every generated script carries inside `function main`.
std::string SampleCameraLine();

// A map script of about `bytes` bytes with CR LF line ends: globals, many trigger functions,
// then main (holding SampleCameraLine()) and config at the end, as the editor lays them out.
// `cameraLinesOutsideMain` further lines that mention the camera call are spread through
// the functions (a template holds several; a map's script may hold one in a comment).
std::string MakeScript(std::size_t bytes, Rng& rng, int cameraLinesOutsideMain = 0);

// A war3map.w3i of format 18 whose four texts take exactly 48 bytes, with the given tileset.
Bytes MakeMapInfo(char tileset, float halfWidth, float halfHeight);

// Data that zlib shrinks to roughly a quarter (terrain, doodads, models).
Bytes MakeStructuredData(std::size_t bytes, Rng& rng);
// Data that does not compress (textures, sounds, already compressed imports).
Bytes MakeNoise(std::size_t bytes, Rng& rng);

// The 512-byte "HM3W" block that precedes the archive in a map file.
Bytes MakeMapHeader(const std::string& mapName, std::int32_t maxPlayers);

} // namespace vornak::bench
