#pragma once
// The quotes board and its tiles open the order ticket the same way.
#include <string>

class QWidget;

namespace tc::gui {

class GuiContext;

// Opens the order ticket for the instrument `code`, or tells on `owner` why it takes no order.
void openTicketFor(GuiContext& context, QWidget* owner, const std::string& code);

} // namespace tc::gui
