#include "gui/trading/position_dialogs.h"

#include "gui/app/gui_context.h"
#include "gui/models/client_model.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_and_cancel_position_window_controller.h"
#include "gui/trading/modify_position_window_controller.h"
#include "gui/trading/offset_position_window_controller.h"
#include "interfaces/client.h"

#include <QWidget>

namespace tc::gui {
namespace {

// The sheets start orders: none from a session that is not signed in.
bool signedIn(const GuiContext& context) {
    const ClientModel* session = context.clientModel();
    return session && session->loginState() == interfaces::LoginState::SignedIn;
}

template <class Window>
Window* kept(GuiContext& context, QWidget* owner, const char* name) {
    if (owner)
        if (auto* window = owner->findChild<Window*>(QLatin1String(name), Qt::FindDirectChildrenOnly))
            return window;
    auto* window = new Window(context, owner);
    window->setObjectName(QLatin1String(name));
    if (!owner)
        window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}

} // namespace

CloseAndCancelPositionWindowController* openCloseDialog(GuiContext& context, QWidget* owner, CloseJob job,
                                                        const std::string& id) {
    if (!signedIn(context))
        return nullptr;
    auto* sheet = kept<CloseAndCancelPositionWindowController>(context, owner, "closeCancelSheet");
    return sheet->openFor(job, id) ? sheet : nullptr;
}

ModifyPositionWindowController* openModifyDialog(GuiContext& context, QWidget* owner, ModifyMode mode,
                                                 const std::string& id) {
    if (!signedIn(context))
        return nullptr;
    auto* sheet = kept<ModifyPositionWindowController>(context, owner, "modifySheet");
    return sheet->openFor(mode, id) ? sheet : nullptr;
}

OffsetPositionWindowController* openOffsetDialog(GuiContext& context, QWidget* owner,
                                                 const std::string& positionId) {
    if (!signedIn(context))
        return nullptr;
    auto* sheet = kept<OffsetPositionWindowController>(context, owner, "offsetSheet");
    return sheet->openFor(positionId) ? sheet : nullptr;
}

CloseAllWindowController* openCloseAll(GuiContext& context, QWidget* owner) {
    ClientModel* session = context.clientModel();
    if (!signedIn(context) || session->client().queries().getOpenOrderCollection().empty())
        return nullptr;
    auto* window = kept<CloseAllWindowController>(context, owner, "closeAllWindow");
    window->openOn(owner);
    return window;
}

} // namespace tc::gui
