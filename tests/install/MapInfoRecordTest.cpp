#include "install/InstallError.h"
#include "install/LittleEndian.h"
#include "install/MapInfoRecord.h"

#include "W3iBuilder.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <stdexcept>

namespace vornak {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LittleEndian, AccessBeyondTheBufferThrowsAndWritesNothing)
{
    Bytes bytes(6, 0);
    EXPECT_NO_THROW(le::ReadInt32(bytes, 2));
    EXPECT_THROW(le::ReadInt32(bytes, 3), std::out_of_range);
    EXPECT_THROW(le::ReadByte(bytes, 6), std::out_of_range);
    // An offset near the top of size_t must not wrap around into the buffer.
    EXPECT_THROW(le::ReadFloat32(bytes, std::numeric_limits<std::size_t>::max() - 1), std::out_of_range);
    EXPECT_THROW(le::WriteInt32(bytes, 3, -1), std::out_of_range);
    EXPECT_THROW(le::WriteByte(bytes, 6, 1), std::out_of_range);
    EXPECT_EQ(bytes, Bytes(6, 0));
}

std::uint32_t U32At(const Bytes& b, std::size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

test::W3iBuilder DistinctFields(std::int32_t format)
{
    test::W3iBuilder w;
    w.format = format;
    w.texts = {"TRIGSTR_001", "TRIGSTR_004", "TRIGSTR_003", "TRIGSTR_002"}; // 4 x 12 = 48 bytes
    w.cameraBounds = {-1408.5f, -1664.25f, 1408.0f, 1152.0f, -1408.0f, 1152.0f, 1408.0f, -1664.0f};
    w.cameraComplements = {1, -2, 3, 0x01020304};
    w.playableWidth = 30;
    w.playableHeight = 26;
    w.flags = 0x0000dc10;
    w.tileset = 'Y';
    return w;
}

// With 48 bytes of texts and no game version, the fields stand where a fixed 121-byte
// record puts them; reading them where they stand must then give the same values.
TEST(MapInfoRecord, FortyEightByteTextsBeforeFormat27ReadLikeTheFixedRecord)
{
    for (const std::int32_t format : {18, 25, 26}) {
        SCOPED_TRACE(format);
        const auto bytes = DistinctFields(format).Build();
        const auto record = MapInfoRecord::Parse(bytes, "fixed.w3i");
        EXPECT_EQ(record.offsets, (MapInfoRecord::Offsets{12, 60, 92, 108, 112, 116, 120, 121}));
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(record.cameraBounds[i], std::bit_cast<float>(U32At(bytes, 60 + 4 * i)));
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(record.cameraComplements[i], static_cast<std::int32_t>(U32At(bytes, 92 + 4 * i)));
        EXPECT_EQ(record.playableWidth, static_cast<std::int32_t>(U32At(bytes, 108)));
        EXPECT_EQ(record.playableHeight, static_cast<std::int32_t>(U32At(bytes, 112)));
        EXPECT_EQ(record.flags, static_cast<std::int32_t>(U32At(bytes, 116)));
        EXPECT_EQ(record.tileset, bytes[120]);
        EXPECT_FALSE(record.gameVersion.has_value());
    }
    auto w = DistinctFields(27);
    w.gameVersion = {1, 32, 8, 15801};
    const auto record = MapInfoRecord::Parse(w.Build(), "new.w3i");
    EXPECT_EQ(record.offsets, (MapInfoRecord::Offsets{28, 76, 108, 124, 128, 132, 136, 137}));
    EXPECT_EQ(record.gameVersion, w.gameVersion);
}

void ExpectUnusable(const Bytes& bytes, const std::string& fragment)
{
    try {
        MapInfoRecord::Parse(bytes, "dir/bad.w3i");
        ADD_FAILURE() << "parsed " << bytes.size() << " bytes without error";
    } catch (const InstallError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("'dir/bad.w3i' cannot be used: "), std::string::npos) << text;
        EXPECT_NE(text.find(fragment), std::string::npos) << text;
    }
}

TEST(MapInfoRecord, EveryTruncationBeforeTheTilesetIsAClearError)
{
    for (const std::int32_t format : {18, 28}) {
        const auto full = DistinctFields(format).Build();
        const std::size_t end = format >= 27 ? 137 : 121;
        for (std::size_t size = 0; size < end; ++size) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", " << size << " bytes");
            ExpectUnusable(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)), "");
        }
        EXPECT_EQ(MapInfoRecord::Parse(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(end)), "x").tileset, 'Y');
    }
    const auto full = DistinctFields(25).Build();
    ExpectUnusable(Bytes(full.begin(), full.begin() + 12 + 12 + 5), "author text has no terminating zero byte");
    ExpectUnusable(Bytes(full.begin(), full.begin() + 100), "ends after 100 bytes, before its camera bounds");
}

} // namespace
} // namespace vornak
