#pragma once
// The funding history window: the financial transactions of one account over a period and of one
// transaction type (all types chosen at first), as the data service lists them, and their print.
// The main window makes it once and keeps it; each opening refreshes texts and keeps the choices and
// rows shown before. The rows are those of the window's last search (a copy taken when the reply
// arrived); the next search or Clear takes them away at once. A line under the table says what the
// search came to: waiting, no rows, or why it failed (no reply in time, a refusal, the line lost).
// The same user's sign-in again keeps the account chosen and asks the last search again (account,
// period and type as searched), so the list is what the new session holds.
#include "gui/controls/date_time_field.h"
#include "gui/models/client_model.h"
#include "gui/models/record_table_model.h"
#include "interfaces/client.h"
#include "model/records/financial_transaction.h"
#include "model/records/request_records.h"

#include <QDateTime>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QPrinter;
class QTableView;

namespace Ui {
class DepositsWithdrawalsWindowController;
}

namespace tc::gui {

class GuiContext;
class Language;

// The history rows; column titles are the texts of the columns' keys, the keys themselves under
// IdentifierRole. Replaced whole when a reply or Clear brings rows (never on a tick).
class FundingHistoryTableModel : public RecordTableModel<FinancialTransactionDetails> {
public:
    explicit FundingHistoryTableModel(Language& language, QObject* parent = nullptr);

    void setRows(std::vector<FinancialTransactionDetails> rows) { replaceRecords(std::move(rows)); }
};

class DepositsWithdrawalsWindowController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model, signed in: the defaults, the accounts and the types.
    explicit DepositsWithdrawalsWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~DepositsWithdrawalsWindowController() override;

    // Each opening: texts; choices and rows stay.
    void onWindowLoad();
    // The Clear button: the whole of today, all transactions, no rows; the account stays.
    void setDefaultValues();
    // Sends the search; false when nothing was sent (a typed type that is none of the list's, or a
    // typed account that is no account number or a period that is none, which are refused with
    // their reason).
    bool searchButtonClicked();
    // Why the account typed is no account number (the field is marked with it); empty when it is one.
    QString accountFault() const;
    // Why the period typed cannot be searched (a field that holds no date, or a from-date after the
    // to-date; the fields it names are marked with it); empty when it can.
    PeriodFault periodFault() const;
    // The print dialog, window-modal; the table prints once it is accepted.
    void print();
    // Prints the table as shown now; false when the printer cannot be painted on.
    bool printTo(QPrinter& printer) const;
    // The history's page settings, which the print dialog starts from.
    static void setUpPrinter(QPrinter& printer);

    void setPeriod(const QDateTime& from, const QDateTime& to);
    QComboBox* accountComboBox() const;
    QComboBox* transactionCodeComboBox() const;
    QTableView* depositWithdrawalTableView() const;
    // The dates typed; nullopt for a text that is no date.
    std::optional<QDateTime> fromDate() const;
    std::optional<QDateTime> toDate() const;
    // The request of the last search, 0 when none is awaited.
    interfaces::RequestId awaitedRequest() const { return awaited_; }
    // The line under the table (empty when none shows).
    QString statusText() const;

Q_SIGNALS:
    // The rows of the last search arrived and are shown.
    void historyShown();

private:
    void updateLanguageStrings();
    // Each column as wide as its title, the sub-types' as their longest name.
    void fitColumns();
    void loadAccountCombo();
    void loadTransactionCodeCombo();
    void chooseAllTransactions();
    void historyArrived(interfaces::RequestId id);
    // Sends a search, the rows shown taken away.
    bool sendSearch(const SearchInfo& search);
    // The new session's login completed.
    void sessionBack();
    // The last search ended without rows, for `reason`.
    void searchFailed(const QString& reason);
    void showStatus(const QString& text);
    void markAccount();
    void markPeriod();
    QPrinter& printer();

    std::unique_ptr<Ui::DepositsWithdrawalsWindowController> ui_;
    GuiContext& context_;
    FundingHistoryTableModel* model_ = nullptr;
    interfaces::RequestId awaited_ = 0;
    // The account and period of the last search, printed above its rows.
    QString shownSearch_;
    // A new client lists its accounts once its login completes.
    bool accountsAwaited_ = false;
    // The last search, which the same user's new session is asked again, and whose session the
    // window serves.
    std::optional<SearchInfo> lastSearch_;
    std::optional<SignInUser> user_;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace tc::gui
