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

using test::W3iBuilder;
using Bytes = std::vector<std::uint8_t>;

TEST(LittleEndian, ReadsLeastSignificantByteFirst)
{
    const Bytes bytes = {0x78, 0x56, 0x34, 0x12, 0xfe, 0xff, 0xff, 0xff, 0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0xc5};
    EXPECT_EQ(le::ReadInt32(bytes, 0), 0x12345678);
    EXPECT_EQ(le::ReadInt32(bytes, 4), -2);
    EXPECT_EQ(le::ReadFloat32(bytes, 8), 1.0f);
    EXPECT_EQ(le::ReadFloat32(bytes, 12), -2048.0f);
    EXPECT_EQ(le::ReadByte(bytes, 3), 0x12);
}

TEST(LittleEndian, WritesLeastSignificantByteFirst)
{
    Bytes bytes(13, 0xaa);
    le::WriteInt32(bytes, 0, -2);
    le::WriteFloat32(bytes, 4, -2048.0f);
    le::WriteInt32(bytes, 8, 0x0000ab12);
    le::WriteByte(bytes, 12, 'Y');
    EXPECT_EQ(bytes, (Bytes{0xfe, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0xc5, 0x12, 0xab, 0x00, 0x00, 'Y'}));
}

TEST(LittleEndian, AccessBeyondTheBufferThrowsAndWritesNothing)
{
    Bytes bytes(6, 0);
    EXPECT_NO_THROW(le::ReadInt32(bytes, 2));
    EXPECT_THROW(le::ReadInt32(bytes, 3), std::out_of_range);
    EXPECT_THROW(le::ReadFloat32(bytes, 6), std::out_of_range);
    EXPECT_THROW(le::ReadByte(bytes, 6), std::out_of_range);
    // An offset near the top of size_t must not wrap around into the buffer.
    EXPECT_THROW(le::ReadInt32(bytes, std::numeric_limits<std::size_t>::max() - 1), std::out_of_range);
    EXPECT_THROW(le::WriteInt32(bytes, 3, -1), std::out_of_range);
    EXPECT_THROW(le::WriteByte(bytes, 6, 1), std::out_of_range);
    EXPECT_EQ(bytes, Bytes(6, 0));
    EXPECT_THROW(le::ReadByte(Bytes{}, 0), std::out_of_range);
}

// The reading of a record that takes the texts as 48 bytes: the fixed layout.
struct FixedReading {
    std::array<float, 8> bounds{};
    std::array<std::int32_t, 4> complements{};
    std::int32_t width = 0, height = 0, flags = 0;
    std::uint8_t tileset = 0;
};

std::uint32_t U32At(const Bytes& b, std::size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

FixedReading ReadFixed(const Bytes& b)
{
    FixedReading r;
    for (std::size_t i = 0; i < 8; ++i)
        r.bounds[i] = std::bit_cast<float>(U32At(b, 60 + 4 * i));
    for (std::size_t i = 0; i < 4; ++i)
        r.complements[i] = static_cast<std::int32_t>(U32At(b, 92 + 4 * i));
    r.width = static_cast<std::int32_t>(U32At(b, 108));
    r.height = static_cast<std::int32_t>(U32At(b, 112));
    r.flags = static_cast<std::int32_t>(U32At(b, 116));
    r.tileset = b.at(120);
    return r;
}

W3iBuilder DistinctFields(std::int32_t format)
{
    W3iBuilder w;
    w.format = format;
    w.saveCount = 321;
    w.editorVersion = 6059;
    w.texts = {"TRIGSTR_001", "TRIGSTR_004", "TRIGSTR_003", "TRIGSTR_002"}; // 4 x 12 = 48 bytes
    w.cameraBounds = {-1408.5f, -1664.25f, 1408.0f, 1152.0f, -1408.0f, 1152.0f, 1408.0f, -1664.0f};
    w.cameraComplements = {1, -2, 3, 0x01020304};
    w.playableWidth = 30;
    w.playableHeight = 26;
    w.flags = 0x0000dc10;
    w.tileset = 'Y';
    return w;
}

TEST(MapInfoRecord, FortyEightByteTextsBeforeFormat27ReadLikeTheFixedRecord)
{
    for (const std::int32_t format : {18, 25, 26}) {
        SCOPED_TRACE(format);
        const auto bytes = DistinctFields(format).Build();
        const auto record = MapInfoRecord::Parse(bytes, "fixed.w3i");
        const auto fixed = ReadFixed(bytes);

        EXPECT_EQ(record.offsets, (MapInfoRecord::Offsets{12, 60, 92, 108, 112, 116, 120, 121}));
        EXPECT_EQ(record.cameraBounds, fixed.bounds);
        EXPECT_EQ(record.cameraComplements, fixed.complements);
        EXPECT_EQ(record.playableWidth, fixed.width);
        EXPECT_EQ(record.playableHeight, fixed.height);
        EXPECT_EQ(record.flags, fixed.flags);
        EXPECT_EQ(record.tileset, fixed.tileset);
        EXPECT_EQ(record.saveCount, 321);
        EXPECT_EQ(record.editorVersion, 6059);
        EXPECT_FALSE(record.gameVersion.has_value());
        EXPECT_EQ(record.texts[2], "TRIGSTR_003");
    }
}

TEST(MapInfoRecord, Format27AndLaterHaveTheGameVersionBeforeTheTexts)
{
    for (const std::int32_t format : {27, 28, 31, 33}) {
        SCOPED_TRACE(format);
        auto w = DistinctFields(format);
        w.gameVersion = {1, 32, 8, 15801};
        const auto record = MapInfoRecord::Parse(w.Build(), "new.w3i");
        EXPECT_EQ(record.offsets, (MapInfoRecord::Offsets{28, 76, 108, 124, 128, 132, 136, 137}));
        ASSERT_TRUE(record.gameVersion.has_value());
        EXPECT_EQ(*record.gameVersion, (std::array<std::int32_t, 4>{1, 32, 8, 15801}));
        EXPECT_EQ(record.cameraBounds, w.cameraBounds);
        EXPECT_EQ(record.cameraComplements, w.cameraComplements);
        EXPECT_EQ(record.tileset, 'Y');
        EXPECT_EQ(record.texts[0], "TRIGSTR_001");
    }
}

TEST(MapInfoRecord, FieldsMoveWithTheLengthOfTheTexts)
{
    auto w = DistinctFields(25);
    w.texts = {"Just another Warcraft III map", "Unknown", "", "Any"};
    const auto record = MapInfoRecord::Parse(w.Build(), "long.w3i");
    EXPECT_EQ(record.offsets.cameraBounds, 12u + 30 + 8 + 1 + 4);
    EXPECT_EQ(record.offsets.tileset, w.TilesetOffset());
    EXPECT_EQ(record.texts, w.texts);
    EXPECT_EQ(record.cameraBounds, w.cameraBounds);
    EXPECT_EQ(record.playableHeight, 26);
    EXPECT_EQ(record.flags, 0x0000dc10);
    EXPECT_EQ(record.tileset, 'Y');
}

TEST(MapInfoRecord, StoringWritesOnlyTheTransferredFieldsWhereTheyStand)
{
    auto w = DistinctFields(31);
    w.texts[1] = "Somebody with a long name";
    const auto original = w.Build();
    auto record = MapInfoRecord::Parse(original, "t.w3i");
    record.cameraBounds.fill(512.0f);
    record.cameraComplements = {9, 9, 9, 9};
    record.playableWidth = 100;
    record.playableHeight = 200;
    record.tileset = 'A';
    record.flags = 0; // not a transferred field: must not be stored
    auto bytes = original;
    record.StoreTransferredFields(bytes);

    const auto o = record.offsets;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool transferred = (i >= o.cameraBounds && i < o.flags) || i == o.tileset;
        if (!transferred) {
            EXPECT_EQ(bytes[i], original[i]) << "byte " << i;
        }
    }
    const auto reread = MapInfoRecord::Parse(bytes, "t.w3i");
    EXPECT_EQ(reread.cameraBounds, record.cameraBounds);
    EXPECT_EQ(reread.cameraComplements, record.cameraComplements);
    EXPECT_EQ(reread.playableWidth, 100);
    EXPECT_EQ(reread.playableHeight, 200);
    EXPECT_EQ(reread.flags, w.flags);
    EXPECT_EQ(reread.tileset, 'A');
}

void ExpectUnusable(const Bytes& bytes, const std::string& fragment)
{
    try {
        MapInfoRecord::Parse(bytes, "dir/bad.w3i");
        ADD_FAILURE() << "parsed " << bytes.size() << " bytes without error";
    } catch (const InstallError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("dir/bad.w3i"), std::string::npos) << text;
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
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
            ExpectUnusable(cut, "cannot be used");
        }
        const Bytes exact(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(end));
        EXPECT_EQ(MapInfoRecord::Parse(exact, "x").tileset, 'Y');
    }
}

TEST(MapInfoRecord, NamesWhatIsWrong)
{
    auto w = DistinctFields(25);
    auto bytes = w.Build();
    bytes.resize(w.TextsOffset() + 12 + 5); // the author text runs into the end of the file
    ExpectUnusable(bytes, "author text has no terminating zero byte");

    bytes = w.Build();
    bytes.resize(100);
    ExpectUnusable(bytes, "ends after 100 bytes, before its camera bounds");

    for (const std::int32_t format : {17, 8, 0, -1}) {
        w.format = format;
        ExpectUnusable(w.Build(), "format " + std::to_string(format) + " is older");
    }
    ExpectUnusable(Bytes{18, 0, 0}, "only 3 bytes");
}

} // namespace
} // namespace vornak
