#pragma once
// Where a notification banner and its parts go, free of Qt. Coordinates grow right and down, in
// logical pixels. The banner slides down into place at the top right of the screen, fading in, and
// leaves sliding right, fading out.
#include <functional>
#include <optional>
#include <vector>

namespace tc::gui {

struct BannerRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const BannerRect&, const BannerRect&) = default;
};

inline constexpr double kBannerWidth = 380.0;
inline constexpr double kBannerHeight = 70.0;
inline constexpr double kBannerImageSize = 36.0;
inline constexpr double kBannerPadding = 8.0;
inline constexpr double kBannerLabelPadding = 1.0;
inline constexpr double kBannerRightMargin = 15.0; // the banner leaves by this much to the right
inline constexpr double kBannerTopMargin = 10.0;
inline constexpr double kBannerGap = 6.0; // between banners stacked one under another

// What the banner's texts and buttons measure in the fonts in use.
struct BannerMeasures {
    double labelHeight = 0; // one line of the title
    bool hasButtons = false;
    double buttonWidth = 0; // the wider of the two buttons
    double buttonHeight = 0;
    bool multiLine = false;             // the informative text wraps (word or character wrap)
    double informativeNaturalWidth = 0; // the informative text on one line
    // The informative text's height when wrapped at the given width (its layout height + 5).
    std::function<double(double)> informativeHeightForWidth;
};

struct BannerLayout {
    double labelWidth = 0;
    double height = 0;
    // Window frames on the screen: before showing, shown, after leaving.
    BannerRect start;
    BannerRect shown;
    BannerRect end;
    // Parts inside the banner.
    BannerRect image;
    BannerRect title;
    BannerRect subtitle;
    BannerRect informative;
    BannerRect otherButton;  // empty without buttons
    BannerRect actionButton; // empty without buttons
};

// `screen` is the usable area of the screen; `slide` how far the banner moves down as it appears.
BannerLayout layoutBanner(const BannerMeasures& measures, const BannerRect& screen, double slide);

// The same layout `by` lower on the screen (its window frames moved, its parts as they are).
BannerLayout lowered(const BannerLayout& layout, double by);

// A banner on screen as the stack sees it: how far below the first place it stands, and its height.
struct BannerSpan {
    double offset = 0;
    double height = 0;
};

// Where a banner of `height` goes among those on screen (`taken`, in any order): the first place
// from the top, kBannerGap clear of every other, that ends within `room` (the height from the first
// place to the bottom of the screen). The first place when nothing is on screen, whatever the room;
// none when it fits nowhere.
std::optional<double> freeBannerPlace(const std::vector<BannerSpan>& taken, double height, double room);

// Banners that overlap after one of them grew, pushed down as little as clears each from the one
// above it: their offsets, in the order given. Nothing moves up.
std::vector<double> clearedBannerPlaces(const std::vector<BannerSpan>& spans);

} // namespace tc::gui
