#pragma once
// The holder of the program's single windows that several owners open (the About window; the
// order ticket joins it), and of the confirmation switch. Windows are made on first request.
#include "gui/main/about_window_controller.h"

#include <QPointer>

#include <atomic>
#include <optional>
#include <string>

class QWidget;

namespace tc::gui {

class GuiContext;
class TradeTicketWindowController;

class GUIObjects {
public:
    explicit GUIObjects(GuiContext& context);
    ~GUIObjects();

    // YES from the start: confirmations show as a modal alert, else as a banner. Any thread.
    bool showConfirmationAlert() const { return showConfirmationAlert_.load(); }
    void setShowConfirmationAlert(bool value) { showConfirmationAlert_ = value; }

    // NO at start; the order confirmation's "do not ask again" sets it for the rest of the run.
    bool dontShowOrderConfirmation() const { return dontShowOrderConfirmation_; }
    void setDontShowOrderConfirmation(bool value) { dontShowOrderConfirmation_ = value; }

    // The order ticket if it was made, else nullptr.
    TradeTicketWindowController* tradeTicketWindowController() const;
    // The order ticket: one for the session, made on first request (nullptr while signed out).
    TradeTicketWindowController* getTradeTicketWindowController();
    // Opens the ticket above `owner`, for the instrument named, else for the watch list's first;
    // nothing while the session is not signed in.
    void showTradeTicket(QWidget* owner, std::optional<std::string> itemCode = std::nullopt);

    // The About window if it was made, else nullptr.
    AboutWindowController* aboutWindowController() const { return about_.data(); }
    AboutWindowController* getAboutWindowController();
    // Opens the About window above `owner`, unless it is already showing.
    void showAbout(QWidget* owner);

private:
    GuiContext& context_;
    std::atomic<bool> showConfirmationAlert_{true};
    QPointer<AboutWindowController> about_;
    QPointer<TradeTicketWindowController> ticket_;
    bool dontShowOrderConfirmation_ = false;
};

} // namespace tc::gui
