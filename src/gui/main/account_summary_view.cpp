#include "gui/main/account_summary_view.h"

#include "gui/app/language.h"
#include "model/records/account_details.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"
#include "platform/decimal.h"

#include <QLabel>

namespace tc::gui {

std::array<std::string, kSummaryFigures> accountSummaryTexts(const AccountDetails& figures) {
    return {std::to_string(figures.AccountId),        platform::amountText(figures.Equity),
            platform::amountText(figures.Balance),    platform::amountText(figures.UnrealisedPL),
            platform::amountText(figures.UsedMargin), platform::amountText(figures.AvailableMargin)};
}

AccountSummaryView::AccountSummaryView(std::array<QLabel*, kSummaryFigures> values, QObject* parent)
    : QObject(parent), values_(values) {}

void AccountSummaryView::show(const AccountDetails& figures, std::int64_t language) {
    const auto texts = accountSummaryTexts(figures);
    for (std::size_t i = 0; i < kSummaryFigures; ++i)
        values_[i]->setText(pairValue(language, QString::fromStdString(texts[i])));
}

void AccountSummaryView::setLive(bool live) {
    for (QLabel* value : values_)
        value->setEnabled(live);
}

} // namespace tc::gui
