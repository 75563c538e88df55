#pragma once
// Where a notification banner and its parts go, free of Qt. Coordinates grow right and down, in
// logical pixels. The banner slides down into place at the top right of the screen, fading in, and
// leaves sliding right, fading out.
#include <functional>

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

} // namespace tc::gui
