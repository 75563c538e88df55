#pragma once
// The program's one table of colours: a role per thing coloured (windows, grid cells by tone, chart
// marks and series, pie slices) and its colour in each theme, 0 dark and 1 light. The theme manager
// turns the window roles into a palette and a small style sheet, the table models map cell tones to
// their roles, and the chart layer takes its plot theme from here. Free of Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tc::gui {

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// The user default of the theme in force.
inline constexpr std::string_view kThemeKey = "Theme";

inline constexpr int kDarkTheme = 0;
inline constexpr int kLightTheme = 1;
// 0 and 1; any other stored number leaves the windows as they are.
bool isTheme(std::int64_t theme);

enum class ThemeRole : std::uint8_t {
    // Windows.
    Window,          // window background
    WindowText,      // labels on it
    Base,            // text fields, tables
    AlternateBase,   // alternate table rows
    Text,            // text in fields and tables
    Button,          // button face
    ButtonText,      // button label
    Highlight,       // selection
    HighlightedText, // selected text
    PlaceholderText, // hints in empty fields
    DisabledText,    // disabled labels and buttons
    Link,
    ToolTipBase,
    ToolTipText,
    FieldBorder, // one-pixel frame of text fields
    GridLine,    // table grid lines
    // Grid cells by tone: text on the table's rows, or a ground with its own text.
    GainText,           // an amount at or above zero
    LossText,           // below zero: open positions
    LossTextDeep,       // below zero: the other grids
    TickUpGround,       // a price that rose since the last refresh
    TickUpText,         //
    TickDownGround,     // fell: quotes board
    TickDownGroundDeep, // fell: the other grids
    TickDownText,       //
    TickSameGround,     // unchanged
    TickSameText,       //
    FrozenGround,       // the price of an account in equity hit
    FrozenText,         //
    AlertText,          // the equity-hit status (bold)
    StaleText,          // a live figure of a session that is not signed in
    // The order ticket's price fields against their limits.
    PriceValidGround,
    PriceValidText,
    PriceInvalidGround,
    PriceInvalidText,
    // Charts.
    ChartGround,        // the whole graph
    ChartBorder,        // the plot area's frame
    ChartAxis,          // axis lines, ticks and labels
    ChartGrid,          // dashed grid lines
    ChartLegendText,    // legends and the crosshair box
    ChartOverlayFill,   // the crosshair box
    ChartPriceLine,     // line chart and OHLC bars
    ChartWick,          // candlestick wicks
    ChartRisingFill,    // candlestick body of a bar that closed at or above its open
    ChartRisingOutline, //
    ChartFallingFill,   // and of one that closed below
    ChartCrosshair,     // crosshair lines and marker
    ChartCrosshairTag,  // the crosshair's price tag: neither the bid's colour nor the ask's
    ChartBidSeries,     // the bid and ask lines of the bid/ask chart
    ChartAskSeries,     //
    ChartBidLine,       // the live bid and ask across the chart, and their price tags
    ChartAskLine,       //
    ChartTagText,       // the text of those tags
    // The studies' own series (the price studies take the colours their user chose).
    StudyRising,     // oscillator bars at or above the bar before; RVI main line, Aroon Up
    StudyFalling,    // and below it; signal lines, TRIX, Aroon Down and the Aroon oscillator
    StudyMacdBars,   // MACD histogram
    StudyMacdLine,   // MACD line
    StudyRocLine,    // rate of change
    StudyStdDevLine, // standard deviation
    StudyTealLine,   // CCI, stochastic main line, DeMarker, ATR
    StudyBlueLine,   // RSI, momentum
    StudyAquaLine,   // Williams %R
    StudyPowerBars,  // bears and bulls power
    // The pie's five slice colours, which repeat.
    PieSlice1,
    PieSlice2,
    PieSlice3,
    PieSlice4,
    PieSlice5,
    // The head of a chat transcript row: the user's own messages and the other party's.
    ChatOwnHead,
    ChatOtherHead,
    Count
};
inline constexpr std::size_t kThemeRoleCount = static_cast<std::size_t>(ThemeRole::Count);
inline constexpr std::size_t kPieSliceColours = 5;

struct ThemeEntry {
    ThemeRole role;
    std::string_view name;
    Rgba dark;
    Rgba light;
};

// One entry per role, in the order of ThemeRole.
const std::array<ThemeEntry, kThemeRoleCount>& themeTable();
// The colour of a role in a theme; nullopt for a number other than 0 and 1.
std::optional<Rgba> themeColour(std::int64_t theme, ThemeRole role);
// The same for a theme known to be 0 or 1 (any other number reads as dark).
Rgba colourOf(std::int64_t theme, ThemeRole role);
// The pie's slice colour for the index-th slice (the five repeat).
ThemeRole pieSliceRole(std::size_t index);

// WCAG relative luminance (0 black .. 1 white) and contrast ratio (1 .. 21) of opaque colours.
double relativeLuminance(Rgba colour);
double contrastRatio(Rgba a, Rgba b);

} // namespace tc::gui
