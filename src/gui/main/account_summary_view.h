#pragma once
// The main window's account summary strip: the current account's number, equity, balance, profit,
// used and available margin, each after ": " (pairValue). The figures stay greyed while signed out;
// those that depend on the positions' values are blank until the positions are valued.
#include <QObject>

#include <array>
#include <cstdint>
#include <string>

class QLabel;

namespace tc {
class AccountDetails;
}

namespace tc::platform {
class Decimal; // declared only: moc cannot read the decimal header
}

namespace tc::gui {

// The strip's figures in its order; each amount as every window shows it (platform::amountText). No Qt here.
// Until the account's positions are valued (`valued` false) its equity, profit and free margin are
// blank, as the grid's profit cells are: worked out without them they would read as an account
// holding nothing.
inline constexpr std::size_t kSummaryFigures = 6;
std::array<std::string, kSummaryFigures> accountSummaryTexts(const AccountDetails& figures,
                                                             bool valued = true);

class AccountSummaryView : public QObject {
    Q_OBJECT
public:
    // The value labels in the strip's order.
    explicit AccountSummaryView(std::array<QLabel*, kSummaryFigures> values, QObject* parent = nullptr);

    void show(const AccountDetails& figures, bool valued, std::int64_t language);
    // Signed out: the last figures stay, greyed.
    void setLive(bool live);

private:
    std::array<QLabel*, kSummaryFigures> values_;
};

} // namespace tc::gui
