#include "gui/trading/close_position_status_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/grid/grid_tones.h"
#include "gui/texts.h"
#include "ui_close_position_status_window_controller.h"

#include <QBrush>
#include <QHeaderView>
#include <QStringList>
#include <QTableView>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace tc::gui {
namespace {

constexpr std::array<std::string_view, 7> kStatusColumns = {
    texts::kAccount, texts::kPositionIDColumn, texts::kSymbol, texts::kSide, texts::kQuantity, texts::kPrice,
    texts::kStatus};

} // namespace

void setUpStatusTable(QTableView& table, GuiContext& context) {
    const auto text = [](std::string CloseAllStatusRow::*field) {
        return [field](const CloseAllStatusRow& r) { return QString::fromStdString(r.*field); };
    };
    std::vector<StatusTableModel::Column> columns;
    columns.reserve(kStatusColumns.size());
    for (std::string_view key : kStatusColumns)
        columns.push_back({key, {}});
    columns[0].text = text(&CloseAllStatusRow::account);
    columns[1].text = text(&CloseAllStatusRow::positionId);
    columns[2].text = text(&CloseAllStatusRow::symbol);
    // Each side's name read once per language and kept: a text's lookup asks the disk, too slow for
    // every cell of hundreds of rows.
    columns[3].text = [&context,
                       names = std::make_shared<std::map<std::pair<std::int64_t, std::int32_t>, QString>>()](
                          const CloseAllStatusRow& r) {
        const std::int64_t language = context.language().selected();
        auto name = names->find({language, r.side});
        if (name == names->end())
            name = names
                       ->emplace(std::pair(language, r.side),
                                 QString::fromStdString(shownName(language, sideText(r.side))))
                       .first;
        return name->second;
    };
    columns[4].text = text(&CloseAllStatusRow::quantity);
    columns[5].text = text(&CloseAllStatusRow::price);
    columns[6].text = text(&CloseAllStatusRow::status);
    columns[6].role = [&context](const CloseAllStatusRow& r, int role) -> QVariant {
        if (role != Qt::ForegroundRole)
            return {};
        const auto colour =
            toneStyle(Grid::OpenPositions, r.tone, context.themes().getThemeForKey()).foreground;
        return colour ? QVariant(QBrush(*colour)) : QVariant();
    };
    auto* model = new StatusTableModel(
        std::move(columns), [](const CloseAllStatusRow& r) { return r.positionId; },
        [&context](std::string_view key) { return context.text(key); }, &table);
    model->setSelectable(false);
    table.setModel(model);
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
}

void fillStatusTable(QTableView& table, const std::vector<CloseAllStatusRow>& rows) {
    auto* model = static_cast<StatusTableModel*>(table.model());
    model->setRecords(rows);
    // The language or the theme may have changed since the last rows: every cell and title again.
    model->retitle();
    model->refreshAll();
    fitStatusTable(table);
    table.setCurrentIndex({});
}

void fitStatusTable(QTableView& table) {
    // Long reasons wrap in the status column, which takes the rest of the width; rows grow to fit.
    // The other columns are sized here, not by the header: one sizing to its contents reads every
    // cell of its column at each change of a row, hundreds of rows for each of hundreds of reports.
    QHeaderView& header = *table.horizontalHeader();
    const int last = table.model()->columnCount() - 1;
    for (int column = 0; column < last; ++column) {
        header.setSectionResizeMode(column, QHeaderView::Fixed);
        table.resizeColumnToContents(column);
    }
    header.setSectionResizeMode(last, QHeaderView::Stretch);
    table.resizeRowsToContents();
}

void showStatusRecord(QTableView& table, int row, const CloseAllStatusRow& record) {
    auto* model = static_cast<StatusTableModel*>(table.model());
    if (row < 0 || row >= model->rowCount())
        return;
    // Only the cells whose text changed are measured: a report changes one or two, and measuring a
    // cell lays its text out, twice for each of hundreds of reports.
    const int columns = model->columnCount();
    std::vector<QString> before;
    before.reserve(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column)
        before.push_back(model->index(row, column).data().toString());
    model->setRecordAt(row, record);
    const auto changed = [&](int column) {
        return model->index(row, column).data().toString() != before[static_cast<std::size_t>(column)];
    };
    // A column widens for a longer text, as a full sizing would.
    QHeaderView& header = *table.horizontalHeader();
    const int grid = table.showGrid() ? 1 : 0;
    bool grown = false;
    for (int column = 0; column + 1 < columns; ++column) {
        if (!changed(column))
            continue;
        const int wanted = table.sizeHintForIndex(model->index(row, column)).width() + grid;
        if (wanted > header.sectionSize(column)) {
            header.resizeSection(column, wanted);
            grown = true;
        }
    }
    // The row's height follows its status, which wraps in what the other columns leave.
    if (grown || (columns > 0 && changed(columns - 1)))
        table.resizeRowToContents(row);
}

ClosePositionStatusWindowController::ClosePositionStatusWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::ClosePositionStatusWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ClosePositionStatusWindowController"));
    setUpStatusTable(*ui_->statusTableView, context_);
    bindLanguage(this, context.language(), [this] { onWindowLoad(); });
    connect(ui_->button1, &QPushButton::clicked, this, [this] {
        accept();
        Q_EMIT goOn();
    });
    connect(ui_->button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this] { fillStatusTable(*ui_->statusTableView, rows_); });
}

ClosePositionStatusWindowController::~ClosePositionStatusWindowController() = default;

void ClosePositionStatusWindowController::setRows(std::vector<CloseAllStatusRow> rows, bool canGoOn,
                                                  std::vector<std::string> leftOneSided) {
    rows_ = std::move(rows);
    canGoOn_ = canGoOn;
    leftOneSided_ = canGoOn ? std::move(leftOneSided) : std::vector<std::string>();
}

void ClosePositionStatusWindowController::onWindowLoad() {
    fillStatusTable(*ui_->statusTableView, rows_);
    QString text = context_.text(canGoOn_ ? kSomeRefusedKey : kAllRefusedKey);
    if (!leftOneSided_.empty()) {
        QStringList holdings;
        for (const std::string& holding : leftOneSided_)
            holdings << QString::fromStdString(holding);
        text +=
            QStringLiteral("\n\n") + context_.text(kLeftOneSidedKey)
                                         .replace(QStringLiteral("{0}"), holdings.join(QStringLiteral(", ")));
    }
    ui_->statusTextField->setText(text);
    ui_->button1->setVisible(canGoOn_);
    ui_->button1->setText(context_.text(texts::kCloseTheOthers));
    ui_->button2->setText(context_.text(canGoOn_ ? texts::kLater : texts::kOK));
    // Return goes on when going on is offered and ends no hedge; otherwise it dismisses.
    const bool returnGoesOn = canGoOn_ && leftOneSided_.empty();
    ui_->button2->setDefault(!returnGoesOn);
    ui_->button1->setDefault(returnGoesOn);
}

} // namespace tc::gui
