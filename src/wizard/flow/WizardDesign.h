#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The window as designed, for every front-end to build from: no toolkit here.
namespace vornak::wizard::design {

// Pixels at 96 dpi, from the top-left corner of the container (the client area, or the page).
struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A fixed RGB value, or one of the system's colours.
struct Colour {
    enum class Kind : std::uint8_t { Default, Rgb, Highlight, WindowText };
    Kind kind = Kind::Default;
    std::uint8_t red = 0, green = 0, blue = 0;
};

constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return {Colour::Kind::Rgb, red, green, blue};
}

enum class Kind : std::uint8_t {
    PictureBox, // the banner band; filled with the face colour
    Page,       // one of the six stacked frames, borderless
    Rule,       // an etched frame so low that it shows as a line
    Button,
    Label,
    TextBox,
    Image,      // a fixed picture, text names its file among the artwork
    Line,       // one pixel high; its end point (left + width) is not drawn, as with a pen
};

// Flags of a control; a label that is not AutoSize wraps its text within its box.
enum Style : std::uint8_t {
    Bold = 1 << 0,
    Underline = 1 << 1,
    AutoSize = 1 << 2,    // the box follows the one-line text; only its corner is fixed
    Transparent = 1 << 3, // the page shows through the label's box
    Centred = 1 << 4,
    Disabled = 1 << 5,
};

// One control. A caption's "&" marks the access key, "&&" shows one ampersand.
struct Control {
    std::string_view name; // the designed name; arrays are Name_Index ("FrameStep_3", "Label17_9")
    Kind kind;
    int page; // -1: on the window itself
    Box box;
    std::string_view text;
    unsigned style = 0;
    Colour colour{};
};

inline constexpr std::string_view kCaption = "Vornak MOD Installer";
inline constexpr int kClientWidth = 482;
inline constexpr int kClientHeight = 293;
inline constexpr std::string_view kFontFamily = "Tahoma";
inline constexpr double kFontPoints = 8.25;
inline constexpr std::string_view kIcon = "vornak-icon.png";
inline constexpr int kPageCount = 6;
// The pages by what they show: FrameStep_N is page N.
inline constexpr int kWelcomePage = 0;
inline constexpr int kMapPage = 1;
inline constexpr int kBackupPage = 2;
inline constexpr int kInstallingPage = 3;
inline constexpr int kFinishedPage = 4;
inline constexpr int kCreditsPage = 5;
inline constexpr std::string_view kDefaultButton = "Command2"; // Enter
inline constexpr std::string_view kFinishButton = "Command4";  // Enter, once Next is disabled
inline constexpr std::string_view kCancelButton = "Command1";  // Escape

// In the order the controls are made: the later stands over the earlier.
std::span<const Control> Controls();
// The keyboard focus order (Tab): the button row first, then the page controls.
std::span<const std::string_view> TabOrder();

} // namespace vornak::wizard::design
