#include "gui/app/gui_objects.h"

#include "gui/app/gui_context.h"
#include "gui/main/about_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/trading/trade_ticket_window_controller.h"

namespace tc::gui {

GUIObjects::GUIObjects(GuiContext& context) : context_(context) {}

GUIObjects::~GUIObjects() {
    delete about_.data();
    delete ticket_.data();
}

TradeTicketWindowController* GUIObjects::tradeTicketWindowController() const {
    return ticket_.data();
}

TradeTicketWindowController* GUIObjects::getTradeTicketWindowController() {
    if (!ticket_ && context_.clientModel())
        ticket_ = new TradeTicketWindowController(context_);
    return ticket_.data();
}

void GUIObjects::showTradeTicket(QWidget* owner, std::optional<std::string> itemCode) {
    // No order starts from a session that is not signed in (lost, or a new login under way).
    const ClientModel* model = context_.clientModel();
    if (!model || !model->isSignedIn())
        return;
    TradeTicketWindowController* ticket = getTradeTicketWindowController();
    if (!ticket)
        return;
    ticket->setIsTradeTicketFromWatchlist(itemCode.has_value());
    if (itemCode)
        ticket->setValue(*itemCode);
    ticket->windowDidAppear();
    ticket->runModalWindow(owner);
}

AboutWindowController* GUIObjects::getAboutWindowController() {
    if (!about_)
        about_ = new AboutWindowController(context_);
    return about_.data();
}

void GUIObjects::showAbout(QWidget* owner) {
    AboutWindowController* about = getAboutWindowController();
    if (about->isVisible())
        return;
    if (owner && about->parentWidget() != owner)
        about->setParent(owner, about->windowFlags()); // stays above its owner
    about->windowDidAppear();
    about->show();
    about->raise();
    about->activateWindow();
}

} // namespace tc::gui
