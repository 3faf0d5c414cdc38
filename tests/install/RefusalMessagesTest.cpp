// What a map maker reads when a map cannot take the modification, and that the maps of the
// early editors do take it: each case a built map installed through the real archive layer,
// some from program and map folders named in other scripts than the Latin alphabet.
#include "archive/StormMapArchive.h"
#include "base/FileOps.h"
#include "install/InstallProcedure.h"
#include "install/MapInfoTransfer.h"

#include "MapBuilder.h"
#include "RecordingInstallerUi.h"
#include "TestFiles.h"
#include "W3iBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace vornak {
namespace {
namespace fs = std::filesystem;

struct RefusalCase {
    const char* name;
    std::function<test::MapBuilder()> map;
    // Phrases the message must hold, besides the map's own path; empty: the map installs.
    std::vector<std::string> phrases;
    // The program's folder and the map, below a fresh folder.
    const char8_t* app = u8"app";
    const char8_t* mapPath = u8"My Map.w3x";
};

test::MapBuilder MapWithInfo(std::int32_t format)
{
    test::W3iBuilder info;
    info.format = format;
    return test::TypicalMap({.w3i = info.Build()});
}

const std::vector<RefusalCase> kCases = {
    {"Format15Installs", [] { return MapWithInfo(15); }, {}, u8"Программы/Установщик", u8"Карты/Моя карта.w3x"},
    {"Format17Installs", [] { return MapWithInfo(17); }, {}, u8"程序/安装", u8"地图/战役地图.w3x"},
    {"Format8IsTooOld", [] { return MapWithInfo(8); },
     {"was saved by a map editor too old for the VQ MOD", "format 8", "Open the map in a newer map editor, save it"},
     u8"Jeux vidéo/Installé", u8"Cartes d'été/Épée àçüñ.w3x"},
    {"ProtectedMap", [] { return test::TypicalMap({.w3i = test::W3iBuilder{}.Build()}).Damaged(test::MapBuilder::Damage::BlockTableBeyondEnd); },
     {"is protected against changes: the VQ MOD cannot be installed into a protected map",
      "Install it into the unprotected original of the map", "(Details: ", "block table"}},
    {"MapInfoCutShort",
     [] {
         auto bytes = test::W3iBuilder{}.Build();
         bytes.resize(40);
         return test::TypicalMap({.w3i = bytes});
     },
     {"The map info of the map", "cannot be used", "open it in the map editor, save it again"}},
    {"CameraBoundNotANumber",
     [] {
         test::W3iBuilder info;
         info.cameraBounds[2] = std::numeric_limits<float>::quiet_NaN();
         return test::TypicalMap({.w3i = info.Build()});
     },
     {"The camera bound 3 of the map", "is not a number", "Set the map's camera bounds again"}},
};

class RefusalMessages : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalMessages, NameTheMapSayWhatToDoAndLeaveItAsItWas)
{
    test::TempDir dir;
    const fs::path app = dir.path() / fs::path(GetParam().app);
    fs::create_directories(app);
    fs::copy(test::SourceDir() / "Data", app / "Data", fs::copy_options::recursive);
    const fs::path map = dir.path() / fs::path(GetParam().mapPath);
    fs::create_directories(map.parent_path());
    GetParam().map().WriteTo(map);
    const auto before = test::ReadBytes(map);

    StormMapArchive archive({app / "Data" / "listw3m.txt"});
    test::RecordingInstallerUi ui;
    std::string message;
    try {
        InstallProcedure(app, archive, ui).Run(map);
    } catch (const std::exception& error) {
        message = error.what();
    }

    if (GetParam().phrases.empty()) {
        EXPECT_EQ(message, "");
        test::RecordingInstallerUi quiet;
        EXPECT_EQ(TakeMapInfo(app / "Data" / "war3map.w3i", quiet).cameraComplements,
                  (std::array<std::int32_t, 4>{6, 6, 4, 8}));
        return;
    }
    EXPECT_NE(message.find("'" + fileops::Display(map) + "'"), std::string::npos) << message;
    EXPECT_EQ(message.find("temp"), std::string::npos) << "names a scratch file: " << message;
    for (const auto& phrase : GetParam().phrases)
        EXPECT_NE(message.find(phrase), std::string::npos) << "lacks \"" << phrase << "\": " << message;
    EXPECT_EQ(test::ReadBytes(map), before);
}

INSTANTIATE_TEST_SUITE_P(Maps, RefusalMessages, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vornak
