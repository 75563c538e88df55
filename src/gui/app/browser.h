#pragma once
// The system browser: how windows that show server addresses open them unless a test hands them its
// own opener.
#include <QDesktopServices>
#include <QUrl>

namespace tc::gui {

inline bool openInBrowser(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

} // namespace tc::gui
