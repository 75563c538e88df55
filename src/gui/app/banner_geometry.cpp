#include "gui/app/banner_geometry.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tc::gui {

BannerLayout layoutBanner(const BannerMeasures& m, const BannerRect& screen, double slide) {
    BannerLayout l;
    const double p = kBannerPadding;
    const double textColumns = kBannerImageSize + p + p + p;
    l.labelWidth =
        m.hasButtons ? kBannerWidth - (textColumns + m.buttonWidth + p) : kBannerWidth - textColumns;
    l.labelWidth = std::max(l.labelWidth, 1.0);

    // A wrapping text adds its lines to the banner's own height; the content decides below that.
    double bannerHeight = kBannerHeight;
    if (m.multiLine) {
        const float lines = std::ceil(static_cast<float>(m.informativeNaturalWidth / l.labelWidth));
        bannerHeight += m.labelHeight * static_cast<double>(lines);
    }
    const double informativeHeight =
        m.informativeHeightForWidth ? m.informativeHeightForWidth(l.labelWidth) : m.labelHeight;
    const double contentHeight = 2 * m.labelHeight + p + informativeHeight + 2.0 + p;
    l.height = std::min(bannerHeight, contentHeight);
    if (m.hasButtons) // both buttons stay whole, whatever the text
        l.height = std::max(l.height, 3 * p + 2 * m.buttonHeight);

    const double right = screen.x + screen.width;
    const double top = screen.y;
    l.start = {right - kBannerWidth - kBannerRightMargin, top + kBannerTopMargin, kBannerWidth, l.height};
    l.shown = {l.start.x, top + slide + kBannerTopMargin, kBannerWidth, l.height};
    l.end = {right - kBannerWidth, l.shown.y, kBannerWidth, l.height};

    l.image = {p, p, kBannerImageSize, kBannerImageSize};
    const double textX = p + kBannerImageSize + p;
    l.title = {textX, p, l.labelWidth, m.labelHeight};
    l.subtitle = {textX, l.title.y + m.labelHeight + kBannerLabelPadding, l.labelWidth, m.labelHeight};
    const double informativeY = l.subtitle.y + m.labelHeight + kBannerLabelPadding;
    l.informative = {textX, informativeY, l.labelWidth, std::max(0.0, l.height - informativeY - p)};
    if (m.hasButtons) {
        const double buttonX = kBannerWidth - p - m.buttonWidth;
        l.otherButton = {buttonX, p, m.buttonWidth, m.buttonHeight};
        l.actionButton = {buttonX, p + m.buttonHeight + p, m.buttonWidth, m.buttonHeight};
    }
    return l;
}

BannerLayout lowered(const BannerLayout& layout, double by) {
    BannerLayout l = layout;
    for (BannerRect* frame : {&l.start, &l.shown, &l.end})
        frame->y += by;
    return l;
}

std::optional<double> freeBannerPlace(const std::vector<BannerSpan>& taken, double height, double room) {
    std::vector<BannerSpan> spans = taken;
    std::sort(spans.begin(), spans.end(),
              [](const BannerSpan& a, const BannerSpan& b) { return a.offset < b.offset; });
    double top = 0;
    for (const BannerSpan& span : spans) {
        if (top + height + kBannerGap <= span.offset)
            break;
        top = std::max(top, span.offset + span.height + kBannerGap);
    }
    if (spans.empty() || top + height <= room)
        return top;
    return std::nullopt;
}

std::vector<double> clearedBannerPlaces(const std::vector<BannerSpan>& spans) {
    std::vector<std::size_t> order(spans.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return spans[a].offset < spans[b].offset; });
    std::vector<double> offsets(spans.size());
    double clear = 0; // the first offset below the banners above
    for (std::size_t i : order) {
        offsets[i] = std::max(spans[i].offset, clear);
        clear = offsets[i] + spans[i].height + kBannerGap;
    }
    return offsets;
}

} // namespace tc::gui
