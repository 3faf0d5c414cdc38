#include "wizard/flow/WizardDesign.h"

namespace vornak::wizard::design {

namespace {

constexpr unsigned kCredit = Bold | Transparent | AutoSize;
constexpr unsigned kHeading = kCredit | Underline;

constexpr Control kControls[] = {
    {"Picture1", Kind::PictureBox, -1, {0, 0, 481, 75}, ""},
    {"FrameStep_0", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"FrameStep_1", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"FrameStep_2", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"FrameStep_3", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"FrameStep_4", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"FrameStep_5", Kind::Page, -1, {18, 84, 441, 155}, ""},
    {"Frame1", Kind::Rule, -1, {16, 246, 445, 3}, ""},
    {"Command1", Kind::Button, -1, {16, 260, 109, 23}, "E&xit"},
    {"Command3", Kind::Button, -1, {208, 260, 79, 23}, "<< &Previous", Disabled},
    {"Command2", Kind::Button, -1, {288, 260, 79, 23}, "&Next >>"},
    {"Command4", Kind::Button, -1, {378, 260, 85, 23}, "&Finish!", Disabled},

    {"Label1", Kind::Label, 0, {14, 6, 155, 15}, "Welcome to the Vornak MOD \xC2\xA9", Bold},
    {"Label8", Kind::Label, 0, {170, 6, 51, 13}, "Iker Lanza", Bold | AutoSize, Rgb(0, 0, 255)},
    {"Label14", Kind::Label, 0, {224, 6, 3, 13}, ".", Bold | AutoSize, Rgb(0, 0, 0)},
    {"Label3", Kind::Label, 0, {12, 32, 413, 69},
     "Thanks for downloading this MOD. This modification allows you to be the Vornak of a Warcraft III game. "
     "This means that you will be the director of a game and will be able to control every aspect of the "
     "gameplay in Real-Time, from the creation and modification of units to change the weather time or the "
     "music. You will be able to spawn your imagination to the other players in any role adventure you can "
     "imagine."},
    {"Label4", Kind::Label, 0, {12, 108, 413, 15},
     "This Wizard will guide you to install the MOD into any map you wish succesfully."},
    {"Label5", Kind::Label, 0, {12, 130, 413, 15}, "Press Next to follow the installation instructions."},

    {"Label2", Kind::Label, 1, {14, 6, 413, 15}, "Select a map", Bold},
    {"Label6", Kind::Label, 1, {14, 28, 369, 13},
     "Select a Warcraft III map (*.w3m) to install the Vornak MOD into it:", AutoSize},
    {"Root", Kind::TextBox, 1, {14, 50, 329, 21}, ""},
    {"Command5", Kind::Button, 1, {350, 50, 33, 21}, ". . ."},

    {"Label10", Kind::Label, 2, {14, 6, 413, 15}, "Install", Bold},
    {"Label7", Kind::Label, 2, {14, 30, 415, 15}, "IMPORTANT:"},
    {"Label9", Kind::Label, 2, {14, 48, 415, 29},
     "We recommend you to BACKUP the selected map. Anyway, if you open the map once the VQ MOD is installed and "
     "you save it, the VQ MOD will be uninstalled."},
    {"Command6", Kind::Button, 2, {102, 82, 249, 23}, "Backup"},
    {"installon", Kind::Label, 2, {14, 120, 415, 15}, "Install on?"},

    {"Label20", Kind::Label, 3, {12, 42, 413, 15}, "Installing...", Bold | Centred},
    {"Image2", Kind::Image, 3, {202, 66, 32, 32}, "image2.jpg"},

    // The line runs behind the row of pictures and joins them.
    {"Line1", Kind::Line, 4, {50, 100, 342, 1}, "", 0, {Colour::Kind::Highlight}},
    {"Label12", Kind::Label, 4, {14, 6, 413, 15}, "Vornak MOD succesfully installed!", Bold | Transparent,
     Rgb(0, 192, 0)},
    {"Label11", Kind::Label, 4, {14, 30, 415, 15}, "You have installed the VQ MOD in", Transparent},
    {"Label13", Kind::Label, 4, {14, 48, 415, 29},
     "Thank you for downloading and install this mod. If you have any questions or you find bugs on this "
     "modification, please contact us.",
     Transparent},
    {"Image5", Kind::Image, 4, {28, 88, 47, 30}, "image5.gif"},
    {"Image4", Kind::Image, 4, {202, 80, 50, 50}, "image4.gif"},
    {"Image3", Kind::Image, 4, {368, 88, 47, 30}, "image3.gif"},
    {"Label15", Kind::Label, 4, {14, 136, 412, 13},
     "Please, Visit our web at http://www.vornakmod-project.example and visit our forums.",
     Transparent | AutoSize, Rgb(0, 0, 192)},
    // Buttons stand above the labels whose boxes they share.
    {"Command7", Kind::Button, 4, {346, 0, 95, 21}, "View &Credits"},

    {"Label18", Kind::Label, 5, {14, 6, 413, 15}, "Vornak MOD Credits:", Bold | Transparent, Rgb(0, 0, 255)},
    {"Image6", Kind::Image, 5, {206, 6, 47, 28}, "image6.gif"},
    {"Line2", Kind::Line, 5, {112, 40, 308, 1}, "", 0, {Colour::Kind::WindowText}},
    {"Label17_0", Kind::Label, 5, {14, 32, 0, 0}, "VQ MOD Leader:", kHeading, Rgb(255, 0, 0)},
    {"Label17_1", Kind::Label, 5, {14, 44, 0, 0}, "Iker Lanza", kCredit, Rgb(255, 128, 128)},
    {"Label17_7", Kind::Label, 5, {14, 66, 0, 0}, "VQ System", kHeading, Rgb(0, 128, 0)},
    {"Label17_8", Kind::Label, 5, {14, 78, 0, 0}, "Marta Quiles", kCredit, Rgb(0, 192, 0)},
    {"Label17_9", Kind::Label, 5, {14, 94, 0, 0}, "Manuals && Guides", kHeading, Rgb(192, 0, 192)},
    {"Label17_10", Kind::Label, 5, {14, 106, 0, 0}, "Ada Morel", kCredit, Rgb(255, 0, 255)},
    {"Label17_2", Kind::Label, 5, {148, 66, 0, 0}, "Mappers:", kHeading, Rgb(0, 0, 192)},
    {"Label17_3", Kind::Label, 5, {148, 78, 0, 0}, "Nora Vidal", kCredit, Rgb(128, 128, 255)},
    {"Label17_4", Kind::Label, 5, {148, 90, 0, 0}, "Pau Serra", kCredit, Rgb(128, 128, 255)},
    {"Label17_5", Kind::Label, 5, {148, 102, 0, 0}, "Lena Brandt", kCredit, Rgb(128, 128, 255)},
    {"Label17_6", Kind::Label, 5, {148, 114, 0, 0}, "Tomas Riva", kCredit, Rgb(128, 128, 255)},
    {"Label17_13", Kind::Label, 5, {238, 66, 0, 0}, "Special Thanks", kHeading, Rgb(0, 0, 0)},
    {"Label17_14", Kind::Label, 5, {238, 78, 0, 0}, "Rui Costa", kCredit, Rgb(128, 128, 128)},
    {"Label17_15", Kind::Label, 5, {238, 90, 0, 0}, "Elsa Marin", kCredit, Rgb(128, 128, 128)},
    {"Label17_16", Kind::Label, 5, {238, 102, 0, 0}, "Hugo Terra", kCredit, Rgb(128, 128, 128)},
    {"Label17_17", Kind::Label, 5, {238, 114, 0, 0}, "Iris Nolan", kCredit, Rgb(128, 128, 128)},
    {"Label17_18", Kind::Label, 5, {238, 126, 0, 0}, "Oscar Bel", kCredit, Rgb(128, 128, 128)},
    {"Label17_11", Kind::Label, 5, {350, 66, 0, 0}, "Skins pack", kHeading, Rgb(64, 64, 0)},
    {"Label17_12", Kind::Label, 5, {350, 78, 0, 0}, "Dani Roca", kCredit, Rgb(128, 128, 0)},
    {"Command8", Kind::Button, 5, {346, 0, 95, 21}, "&Close"},
};

constexpr std::string_view kTabOrder[] = {"Command1", "Command2", "Command3", "Command4", "Root",
                                          "Command5", "Command6", "Command8", "Command7"};

} // namespace

std::span<const Control> Controls()
{
    return kControls;
}

std::span<const std::string_view> TabOrder()
{
    return kTabOrder;
}

} // namespace vornak::wizard::design
