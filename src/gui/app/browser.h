#pragma once
// The system browser: how windows that show server addresses open them unless a test hands them its
// own opener, and what they say when none opens.
#include "gui/app/common_alert.h"

#include <QDesktopServices>
#include <QUrl>

#include <string>

namespace tc::gui {

class GuiContext;

inline bool openInBrowser(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

// The alert for an address no browser took (none installed, or it refused): the address goes with
// it, shortened, so the user can open it by hand.
AlertSpec addressNotOpenedAlert(const GuiContext& context, const std::string& address, const QString& topic);

} // namespace tc::gui
