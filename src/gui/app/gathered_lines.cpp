#include "gui/app/gathered_lines.h"

#include "gui/app/language.h"
#include "gui/texts.h"

#include <utility>

namespace tc::gui {

bool GatheredLines::add(QString line) {
    kept_.push_back(std::move(line));
    if (kept_.size() <= bound_)
        return false;
    kept_.pop_front();
    ++dropped_;
    return true;
}

QString GatheredLines::joined(const QString& more) const {
    QString text;
    for (const QString& line : kept_) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += line;
    }
    if (dropped_ > 0)
        text += QLatin1Char('\n') + more;
    return text;
}

QString moreLinesText(const Language& language, std::int64_t count) {
    return language.text(texts::kMoreLines).replace(QStringLiteral("{0}"), QString::number(count));
}

} // namespace tc::gui
