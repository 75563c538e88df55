#pragma once
// Opening the position dialogs from the grids and the main window. Each dialog is a sheet on
// `owner` (the main window), one of each kind per owner, made on first use and reused; each opening
// hands it the record's id. When the record is not held the owner says so and nullptr comes back.
// None opens while the session is not signed in: they all start orders.
#include "gui/trading/position_dialog_rules.h"

#include <string>

class QWidget;

namespace tc::gui {

class CloseAllWindowController;
class CloseAndCancelPositionWindowController;
class GuiContext;
class ModifyPositionWindowController;
class OffsetPositionWindowController;

CloseAndCancelPositionWindowController* openCloseDialog(GuiContext& context, QWidget* owner, CloseJob job,
                                                        const std::string& id);
ModifyPositionWindowController* openModifyDialog(GuiContext& context, QWidget* owner, ModifyMode mode,
                                                 const std::string& id);
OffsetPositionWindowController* openOffsetDialog(GuiContext& context, QWidget* owner,
                                                 const std::string& positionId);
// Nothing happens while there is no open position.
CloseAllWindowController* openCloseAll(GuiContext& context, QWidget* owner);

} // namespace tc::gui
