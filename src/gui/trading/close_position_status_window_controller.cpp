#include "gui/trading/close_position_status_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/models/grid_tones.h"
#include "gui/texts.h"
#include "ui_close_position_status_window_controller.h"

#include <QHeaderView>
#include <QTableWidgetItem>

#include <array>

namespace tc::gui {
namespace {

constexpr std::array<std::string_view, 7> kStatusColumns = {
    texts::kAccount, texts::kPositionIDColumn, texts::kSymbol, texts::kSide, texts::kQuantity, texts::kPrice,
    texts::kStatus};

QTableWidgetItem* cell(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

void setStatusHeaders(QTableWidget& table, GuiContext& context) {
    table.setColumnCount(static_cast<int>(kStatusColumns.size()));
    QStringList headers;
    for (std::string_view id : kStatusColumns)
        headers << context.text(id);
    table.setHorizontalHeaderLabels(headers);
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
}

void fillStatusTable(QTableWidget& table, const std::vector<CloseAllStatusRow>& rows, GuiContext& context) {
    table.setRowCount(static_cast<int>(rows.size()));
    const std::int64_t theme = context.themes().getThemeForKey();
    for (int i = 0; i < table.rowCount(); ++i) {
        const CloseAllStatusRow& r = rows[static_cast<std::size_t>(i)];
        table.setItem(i, 0, cell(r.account));
        table.setItem(i, 1, cell(r.positionId));
        table.setItem(i, 2, cell(r.symbol));
        table.setItem(i, 3, cell(shownName(context.language().selected(), sideText(r.side))));
        table.setItem(i, 4, cell(r.quantity));
        table.setItem(i, 5, cell(r.price));
        QTableWidgetItem* status = cell(r.status);
        if (const auto colour = toneStyle(Grid::OpenPositions, r.tone, theme).foreground)
            status->setForeground(*colour);
        table.setItem(i, 6, status);
    }
    // Long reasons wrap in the status column, which takes the rest of the width; rows grow to fit.
    for (int column = 0; column + 1 < table.columnCount(); ++column)
        table.horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    table.horizontalHeader()->setSectionResizeMode(table.columnCount() - 1, QHeaderView::Stretch);
    table.resizeRowsToContents();
    table.setCurrentCell(-1, -1);
}

ClosePositionStatusWindowController::ClosePositionStatusWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::ClosePositionStatusWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ClosePositionStatusWindowController"));
    bindLanguage(this, context.language(), [this] {
        setStatusHeaders(*ui_->statusTableView, context_);
        onWindowLoad();
    });
    connect(ui_->button1, &QPushButton::clicked, this, [this] {
        accept();
        Q_EMIT goOn();
    });
    connect(ui_->button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this] { fillStatusTable(*ui_->statusTableView, rows_, context_); });
}

ClosePositionStatusWindowController::~ClosePositionStatusWindowController() = default;

void ClosePositionStatusWindowController::setRows(std::vector<CloseAllStatusRow> rows, bool canGoOn) {
    rows_ = std::move(rows);
    canGoOn_ = canGoOn;
}

void ClosePositionStatusWindowController::onWindowLoad() {
    fillStatusTable(*ui_->statusTableView, rows_, context_);
    ui_->statusTextField->setText(context_.text(canGoOn_ ? kSomeRefusedKey : kAllRefusedKey));
    ui_->button1->setVisible(canGoOn_);
    ui_->button1->setText(context_.text(texts::kCloseTheOthers));
    ui_->button2->setText(context_.text(canGoOn_ ? texts::kLater : texts::kOK));
    // Return goes on when going on is offered; otherwise it dismisses.
    ui_->button2->setDefault(!canGoOn_);
    ui_->button1->setDefault(canGoOn_);
}

} // namespace tc::gui
