#pragma once
// The lines of a burst of one kind (banners, desktop notifications), bounded: the newest few are kept
// whole and the older ones only counted, so a night of 20,000 settlements costs what a few do.
#include <QString>

#include <cstdint>
#include <deque>

namespace tc::gui {

class Language;

class GatheredLines {
public:
    explicit GatheredLines(std::size_t bound) : bound_(bound < 1 ? 1 : bound) {}

    // Keeps `line` as the newest; the oldest kept is let go (counted) once the bound is reached.
    // True when one was let go.
    bool add(QString line);
    // Counts `count` lines older than any kept as let go.
    void countLetGo(std::int64_t count) { dropped_ += count; }
    // Oldest first.
    const std::deque<QString>& kept() const { return kept_; }
    // Lines gathered and no longer kept.
    std::int64_t dropped() const { return dropped_; }
    std::int64_t total() const { return dropped_ + static_cast<std::int64_t>(kept_.size()); }
    std::size_t bound() const { return bound_; }

    // The kept lines one under another, then `more` when any was let go.
    QString joined(const QString& more) const;

private:
    std::size_t bound_;
    std::deque<QString> kept_;
    std::int64_t dropped_ = 0;
};

// "and N more" in the selected language.
QString moreLinesText(const Language& language, std::int64_t count);

} // namespace tc::gui
