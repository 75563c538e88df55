#include "gui/market/add_remove_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/session_queries.h"
#include "ui_add_remove_window_controller.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace tc::gui {
namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The mark of a watched instrument: a filled dot; an unwatched one shows an empty ring.
QIcon membershipMark(bool member, const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.2));
    painter.setBrush(member ? QBrush(colour) : Qt::NoBrush);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(pixmap);
}

} // namespace

AddRemoveWindowController::AddRemoveWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::AddRemoveWindowController>()), context_(context) {
    ui_->setupUi(this);
    askBeforeDroppingTyped(context_.language());
    lines_ = new RecordTableModel<Line>(
        {{texts::kSymbol,
          [](const Line& l) { return fromView(l.code); },
          {},
          [this](const Line& l, int role) -> QVariant {
              if (role == Qt::DecorationRole)
                  return marks_[l.member ? 1 : 0];
              return role == Qt::UserRole ? QVariant(l.member) : QVariant();
          }},
         {texts::kDescription, [](const Line& l) { return fromView(l.name); }}},
        [](const Line& l) { return l.code; },
        [&context = context_](std::string_view key) { return context.text(key); }, this);
    ui_->ItemTableView->setModel(lines_);
    ui_->ItemTableView->horizontalHeader()->setHighlightSections(false);
    ui_->ItemTableView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui_->ItemTableView->setColumnWidth(0, 120);
    connect(ui_->addButton, &QPushButton::clicked, this, [this] { ShowAndHideSymbolsInWatchlist(100); });
    connect(ui_->removeButton, &QPushButton::clicked, this, [this] { ShowAndHideSymbolsInWatchlist(200); });
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->ItemTableView, &QTableView::doubleClicked, this,
            [this] { ShowAndHideSymbolsInWatchlist(0); });
    connect(ui_->symbolSearchField, &QLineEdit::textChanged, this, &AddRemoveWindowController::SearchSymbols);
    connect(ui_->ItemCategoryOutlineView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) {
                // The group row selects nothing.
                if (item && item->parent())
                    SelectType(item->parent()->indexOfChild(item));
            });
    bindLanguage(this, context_.language(), [this] { lines_->retitle(); });
}

AddRemoveWindowController::~AddRemoveWindowController() = default;

QTreeWidget* AddRemoveWindowController::Outline() const {
    return ui_->ItemCategoryOutlineView;
}
QTableView* AddRemoveWindowController::Table() const {
    return ui_->ItemTableView;
}
QLineEdit* AddRemoveWindowController::SearchField() const {
    return ui_->symbolSearchField;
}

void AddRemoveWindowController::onWindowLoad() {
    // The chooser reads the session once per client; the watch list's membership afresh at every showing.
    ClientModel& session = *context_.clientModel();
    if (!chooser_ || generation_ != session.generation()) {
        generation_ = session.generation();
        LoadTypes();
    } else {
        const interfaces::Client& client = session.client();
        SymbolChooser fresh(client.queries().getSymbolTypes(), client.watchList(), client.model());
        const auto item = ui_->ItemCategoryOutlineView->currentItem();
        if (item && item->parent())
            fresh.selectType(static_cast<std::size_t>(item->parent()->indexOfChild(item)));
        chooser_.emplace(std::move(fresh));
    }
    ui_->ItemTableView->clearSelection();
    {
        const QSignalBlocker block(ui_->symbolSearchField);
        ui_->symbolSearchField->clear();
    }
    ui_->ItemTableView->setFocus();
    chooser_->search({});
    ReloadTable();
}

void AddRemoveWindowController::LoadTypes() {
    const interfaces::Client& client = context_.clientModel()->client();
    chooser_.emplace(client.queries().getSymbolTypes(), client.watchList(), client.model());
    QTreeWidget& tree = *ui_->ItemCategoryOutlineView;
    const QSignalBlocker block(&tree);
    tree.clear();
    auto* group = new QTreeWidgetItem(&tree, {fromView(SymbolChooser::kGroupTitle)});
    group->setFlags(Qt::ItemIsEnabled);
    QFont bold = group->font(0);
    bold.setBold(true);
    group->setFont(0, bold);
    for (const std::string& type : chooser_->typeNames()) {
        auto* item = new QTreeWidgetItem(group, {QString::fromStdString(type)});
        item->setIcon(0, instrumentTypeImage(QString::fromStdString(type)));
    }
    tree.expandAll();
    if (group->childCount() > 0) {
        tree.setCurrentItem(group->child(0));
        chooser_->selectType(0);
    }
}

void AddRemoveWindowController::SelectType(int index) {
    if (!chooser_ || index < 0)
        return;
    ui_->ItemTableView->clearSelection();
    if (chooser_->selectType(static_cast<std::size_t>(index))) {
        const QSignalBlocker block(ui_->symbolSearchField);
        ui_->symbolSearchField->clear();
        ReloadTable();
    }
}

void AddRemoveWindowController::SearchSymbols(const QString& text) {
    if (!chooser_)
        return;
    chooser_->search(text.toStdString());
    ReloadTable();
}

void AddRemoveWindowController::ReloadTable() {
    // The program's palette: the sheet's own may not have taken the theme yet.
    const QColor mark = QApplication::palette().color(QPalette::Text);
    marks_[0] = membershipMark(false, mark);
    marks_[1] = membershipMark(true, mark);
    std::vector<Line> lines;
    lines.reserve(chooser_->rows().size());
    for (const std::string& row : chooser_->rows()) {
        const std::string_view code = SymbolChooser::codeOf(row);
        lines.push_back(
            {std::string(code), std::string(SymbolChooser::nameOf(row)), chooser_->isMember(code)});
    }
    lines_->setRecords(std::move(lines));
}

void AddRemoveWindowController::ShowAndHideSymbolsInWatchlist(int tag) {
    if (!chooser_)
        return;
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : ui_->ItemTableView->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    chooser_->change(SymbolChooser::changeForTag(tag), rows, context_.clientModel()->client().model());
    ReloadTable();
    QItemSelectionModel& selection = *ui_->ItemTableView->selectionModel();
    for (std::size_t row : rows)
        selection.select(ui_->ItemTableView->model()->index(static_cast<int>(row), 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    SaveAddRemoveItems();
}

void AddRemoveWindowController::SaveAddRemoveItems() {
    interfaces::Client& client = context_.clientModel()->client();
    client.setWatchList(chooser_->watchList(client.model()));
    Q_EMIT WatchListSaved();
}

} // namespace tc::gui
