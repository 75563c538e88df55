#include "gui/news/news_table_controller.h"

#include "gui/app/browser.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/controls/web_address.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "platform/log.h"
#include "ui_news_table_controller.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace tc::gui {

NewsTableModel::NewsTableModel(Language& language, QObject* parent)
    : QAbstractTableModel(parent), language_(language),
      items_(std::make_shared<const std::vector<interfaces::NewsItem>>()) {
    connect(&language_, &Language::changed, this,
            [this] { Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1); });
}

void NewsTableModel::setItems(std::shared_ptr<const std::vector<interfaces::NewsItem>> items) {
    beginResetModel();
    items_ = items ? std::move(items) : std::make_shared<const std::vector<interfaces::NewsItem>>();
    endResetModel();
}

const interfaces::NewsItem* NewsTableModel::item(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return &(*items_)[static_cast<std::size_t>(row)];
}

int NewsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_->size());
}

int NewsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant NewsTableModel::data(const QModelIndex& index, int role) const {
    const interfaces::NewsItem* news = index.isValid() ? item(index.row()) : nullptr;
    if (!news || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return qt(index.column() == 0 ? news->title : news->pubDate);
    return {};
}

QVariant NewsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount() || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return language_.text(kColumns[static_cast<std::size_t>(section)]);
}

NewsTableController::NewsTableController(GuiContext& context, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::NewsTableController>()), context_(context),
      opener_(openInBrowser) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("NewsTableController"));
    model_ = new NewsTableModel(context_.language(), this);
    QTableView* table = ui_->newsTableView;
    table->setModel(model_);
    // Rows of one height and a fixed date column: a feed of thousands of items lays out at once.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Interactive);
    // The subject's title stands where its sentences start, in sight however narrow the window.
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    table->setColumnWidth(
        1, table->fontMetrics().horizontalAdvance(QStringLiteral("Mon, 07 Dec 2026 17:00:00 GMT")) + 24);
    for (std::string_view category : interfaces::kNewsCategories)
        ui_->NewsCategoryPopButton->addItem(qt(category));

    connect(ui_->NewsCategoryPopButton, &QComboBox::activated, this, [this] { PopUpItemSelected(); });
    connect(table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openItem(index.row()); });
    // Return on the table opens the selected item, as a double click does.
    table->installEventFilter(this);
    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::newsLoaded, this, &NewsTableController::loaded);
    // A new client knows where the feed is only once its login completes: the old client's load is
    // gone with it, and the chosen category is read again then, as after the first login.
    connect(&session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn && started_ &&
            loadedGeneration_ != context_.clientModel()->generation())
            PopUpItemSelected();
    });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

NewsTableController::~NewsTableController() = default;

bool NewsTableController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->newsTableView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ui_->newsTableView->currentIndex().isValid()) {
            openItem(ui_->newsTableView->currentIndex().row());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NewsTableController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The feed is read once the view is first looked at.
    if (!started_) {
        started_ = true;
        PopUpItemSelected();
    }
}

void NewsTableController::updateLanguageStrings() {
    ui_->newsTableView->setAccessibleName(context_.text(texts::kNews));
    showStatus();
}

QComboBox* NewsTableController::categoryPopUp() const {
    return ui_->NewsCategoryPopButton;
}

QTableView* NewsTableController::newsTableView() const {
    return ui_->newsTableView;
}

QLabel* NewsTableController::errorLabel() const {
    return ui_->newsErrorLabel;
}

void NewsTableController::PopUpItemSelected() {
    LoadNews(ui_->NewsCategoryPopButton->currentText());
}

bool NewsTableController::LoadNews(const QString& category) {
    const int index = ui_->NewsCategoryPopButton->findText(category);
    if (index < 0)
        return false;
    started_ = true;
    if (ui_->NewsCategoryPopButton->currentIndex() != index)
        ui_->NewsCategoryPopButton->setCurrentIndex(index);
    const QByteArray name = category.toUtf8();
    if (context_.clientModel()->client().news().loadCategory(std::string_view(name.data(), name.size())) ==
        0) {
        platform::Log::warning("news: no feed source for {}", std::string_view(name.data(), name.size()));
        return false;
    }
    loadedGeneration_ = context_.clientModel()->generation();
    // The last error and the last category's items belong to another request.
    loading_ = true;
    error_.clear();
    model_->setItems(nullptr);
    showStatus();
    return true;
}

void NewsTableController::loaded(const interfaces::NewsLoad& load) {
    shown_ = qt(load.category);
    loading_ = false;
    if (!load.error.empty()) {
        // Why, instead of a list that would look like a category without news.
        model_->setItems(nullptr);
        showError(qt(load.error));
    } else {
        error_.clear();
        showStatus();
        model_->setItems(load.items);
    }
    Q_EMIT newsShown();
}

void NewsTableController::showError(const QString& detail) {
    error_ = detail;
    showStatus();
}

void NewsTableController::showStatus() {
    if (loading_)
        ui_->newsErrorLabel->setText(context_.text(texts::kLoadingTheNews));
    else if (!error_.isEmpty())
        ui_->newsErrorLabel->setText(
            context_.text(texts::kNewsCouldNotLoaded).replace(QStringLiteral("{0}"), error_));
    ui_->newsErrorLabel->setVisible(loading_ || !error_.isEmpty());
}

bool NewsTableController::openItem(int row) {
    const interfaces::NewsItem* news = model_->item(row);
    if (!news)
        return false;
    const std::optional<std::string> address = webAddressToOpen(news->link, MissingScheme::Refuse);
    if (!address) {
        platform::Log::warning("news link not opened, not an http or https address: {}",
                               news->link.substr(0, 200));
        sayNotOpened(news->link);
        return false;
    }
    const QUrl url(qt(*address), QUrl::StrictMode);
    if (!url.isValid() || !opener_ || !opener_(url)) {
        platform::Log::warning("Failed to open url: {}", address->substr(0, 200));
        sayNotOpened(*address);
        return false;
    }
    return true;
}

void NewsTableController::sayNotOpened(const std::string& link) {
    // A double click that changes nothing on screen would look like a click not taken.
    CommonAlert::open(this, addressNotOpenedAlert(context_, link, QStringLiteral("newsLink")));
}

} // namespace tc::gui
