#include "gui/main/account_summary_view.h"

#include "gui/app/language.h"
#include "model/records/account_details.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"
#include "platform/decimal.h"

#include <QLabel>

namespace tc::gui {

std::array<std::string, kSummaryFigures> accountSummaryTexts(const AccountDetails& figures, bool valued) {
    const auto valuedAmount = [valued](double amount) {
        return valued ? platform::amountText(amount) : std::string();
    };
    return {std::to_string(figures.AccountId),        valuedAmount(figures.Equity),
            platform::amountText(figures.Balance),    valuedAmount(figures.UnrealisedPL),
            platform::amountText(figures.UsedMargin), valuedAmount(figures.AvailableMargin)};
}

AccountSummaryView::AccountSummaryView(std::array<QLabel*, kSummaryFigures> values, QObject* parent)
    : QObject(parent), values_(values) {}

void AccountSummaryView::show(const AccountDetails& figures, bool valued, std::int64_t language) {
    const auto texts = accountSummaryTexts(figures, valued);
    for (std::size_t i = 0; i < kSummaryFigures; ++i)
        values_[i]->setText(pairValue(language, QString::fromStdString(texts[i])));
}

void AccountSummaryView::setLive(bool live) {
    for (QLabel* value : values_)
        value->setEnabled(live);
}

} // namespace tc::gui
