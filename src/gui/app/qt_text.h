#pragma once
// The core keeps UTF-8 in std::string; the windows hold QString.
#include <QString>

#include <string>
#include <string_view>

namespace tc::gui {

inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string str(const QString& text) {
    return text.toStdString();
}

} // namespace tc::gui
