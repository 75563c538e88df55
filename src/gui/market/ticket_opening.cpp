#include "gui/market/ticket_opening.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/grid/grid_cells.h"
#include "gui/market/row_menu_rules.h"
#include "gui/models/client_model.h"

namespace tc::gui {

void openTicketFor(GuiContext& context, QWidget* owner, const std::string& code) {
    if (const auto refusal = ticketRefusalKey(instrumentOf(context.clientModel()->client().model(), code))) {
        CommonAlert::open(owner, {context.text(*refusal),
                                  context.text(kValidationTitleKey),
                                  AlertSpec::Warning,
                                  {},
                                  QStringLiteral("ticketRefused")});
        return;
    }
    context.guiObjects().showTradeTicket(owner, code);
}

} // namespace tc::gui
