// The news view.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerNewsScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/models/client_model.h"
#include "gui/news/news_table_controller.h"
#include "gui/texts.h"

#include <memory>

namespace tc::gui {
namespace {

// The news view with the first category's items from the test server's desk.
QWidget* news(ScreenContext& c) {
    c.session();
    auto* view = c.own(new NewsTableController(c.context()));
    view->setWindowTitle(c.context().text(texts::kNews));
    view->resize(900, 520);
    auto shown = std::make_shared<bool>(false);
    c.keep(shown);
    QObject::connect(view, &NewsTableController::newsShown, view, [shown] { *shown = true; });
    view->show();
    c.waitUntil([shown] { return *shown; }, 10000);
    view->newsTableView()->selectRow(1);
    return view;
}

} // namespace

void registerNewsScreens(ScreenRegistry& r) {
    r.add("news", news);
}

} // namespace tc::gui
