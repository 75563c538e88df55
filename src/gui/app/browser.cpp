#include "gui/app/browser.h"

#include "gui/app/gui_context.h"
#include "gui/app/qt_text.h"
#include "gui/texts.h"

namespace tc::gui {

AlertSpec addressNotOpenedAlert(const GuiContext& context, const std::string& address, const QString& topic) {
    return {
        context.text(texts::kLinkCouldNotOpenedWeb), qt(address).left(200), AlertSpec::Warning, {}, topic};
}

} // namespace tc::gui
