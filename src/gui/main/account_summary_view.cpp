#include "gui/main/account_summary_view.h"

#include "model/records/account_details.h"
#include "model/text/formatter.h"
#include "platform/decimal.h"

#include <QLabel>

namespace tc::gui {

std::string summaryAmount(double value) {
    return Formatter::formatAmountWithString(Formatter::formatDecimal(value, 2));
}

std::string summaryAmount(const platform::Decimal& value) {
    return Formatter::formatAmountWithString(Formatter::formatDecimal(value, 2));
}

std::array<std::string, kSummaryFigures> accountSummaryTexts(const AccountDetails& figures) {
    const auto shown = [](const std::string& value) { return ": " + value; };
    return {shown(std::to_string(figures.AccountId)), shown(summaryAmount(figures.Equity)),
            shown(summaryAmount(figures.Balance)),    shown(summaryAmount(figures.UnrealisedPL)),
            shown(summaryAmount(figures.UsedMargin)), shown(summaryAmount(figures.AvailableMargin))};
}

AccountSummaryView::AccountSummaryView(std::array<QLabel*, kSummaryFigures> values, QObject* parent)
    : QObject(parent), values_(values) {}

void AccountSummaryView::show(const AccountDetails& figures) {
    const auto texts = accountSummaryTexts(figures);
    for (std::size_t i = 0; i < kSummaryFigures; ++i)
        values_[i]->setText(QString::fromStdString(texts[i]));
}

void AccountSummaryView::setLive(bool live) {
    for (QLabel* value : values_)
        value->setEnabled(live);
}

} // namespace tc::gui
