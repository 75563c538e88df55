#include "gui/resources/resources_view_controller.h"

#include "gui/app/browser.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "platform/log.h"
#include "ui_resources_view_controller.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

namespace tc::gui {

ResourcesViewController::ResourcesViewController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Popup), ui_(std::make_unique<Ui::ResourcesViewController>()), context_(context),
      opener_(openInBrowser) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ResourcesViewController"));
    QListWidget* list = ui_->resourcesTableView;
    connect(list, &QListWidget::itemClicked, this,
            [this, list](QListWidgetItem* item) { openResourceURL(list->row(item)); });
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), list);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, list] {
            if (list->currentRow() >= 0)
                openResourceURL(list->currentRow());
        });
    }
    // A new login brings its own list, and its files are asked for again at the next showing.
    connect(context_.clientModel(), &ClientModel::clientReplaced, this, [this] {
        loaded_ = false;
        reloadRows();
    });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    reloadRows();
}

ResourcesViewController::~ResourcesViewController() = default;

QListWidget* ResourcesViewController::resourcesTableView() const {
    return ui_->resourcesTableView;
}

void ResourcesViewController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kResources));
    ui_->resourcesTableView->setAccessibleName(context_.text(texts::kResources));
}

void ResourcesViewController::reloadRows() {
    rows_ = resourceRows(context_.clientModel()->client().queries());
    QListWidget* list = ui_->resourcesTableView;
    list->clear();
    const QIcon browser = image("browser_img");
    for (const ResourceRow& row : rows_) {
        auto* item = new QListWidgetItem(browser, qt(row.caption), list);
        if (row.address)
            item->setToolTip(qt(*row.address));
    }
    ui_->resourcesEmptyLabel->setVisible(rows_.empty());
}

void ResourcesViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reloadRows();
    ui_->resourcesTableView->clearSelection();
    ui_->resourcesTableView->setCurrentRow(-1);
    if (!loaded_) {
        loaded_ = true;
        // The files the listed entries name, once per login: what is stored already is not asked again.
        interfaces::Resources& resources = context_.clientModel()->client().resources();
        for (const ResourceRow& row : rows_)
            downloadsAsked_ += resources.requestFileResourceForExtension(row.iconResourceId);
    }
}

void ResourcesViewController::showBelow(QWidget* anchor) {
    adjustSize();
    resize(std::max(width(), 300), std::max(height(), 240));
    if (anchor) {
        QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
        if (const QScreen* screen = anchor->screen()) {
            const QRect area = screen->availableGeometry();
            at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
            at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
        }
        move(at);
    }
    show();
    raise();
    ui_->resourcesTableView->setFocus();
}

bool ResourcesViewController::openResourceURL(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return false;
    const ResourceRow& entry = rows_[static_cast<std::size_t>(row)];
    if (!entry.address) {
        platform::Log::warning("resource {} not opened: its address is not http or https",
                               entry.caption.substr(0, 200));
        sayNotOpened(entry.caption);
        return false;
    }
    const QUrl url(qt(*entry.address), QUrl::StrictMode);
    if (!url.isValid() || !opener_ || !opener_(url)) {
        platform::Log::warning("Failed to open url: {}", entry.address->substr(0, 200));
        sayNotOpened(*entry.address);
        return false;
    }
    return true;
}

void ResourcesViewController::sayNotOpened(const std::string& what) {
    // Said on the window below: a popup closes at the first click outside it, the alert with it.
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    hide();
    CommonAlert::open(owner, addressNotOpenedAlert(context_, what, QStringLiteral("resourceNotOpened")));
}

} // namespace tc::gui
