#pragma once
// The account statement window: one of the user's accounts and a period are chosen, the statement
// and the period's cancelled orders are asked for together, and what comes back is shown on two
// pages: the summary (account, order and margin summaries, the settled and open profit-and-loss
// pies, the client's and the company's addresses) and the details (open, settled, pending and
// cancelled tables with their status lines, and the statement's instruments). The whole statement
// prints as one document.
//
// The main window makes it once and keeps it; each opening calls windowDidAppear, and a new client's
// completed login lists that session's accounts and asks afresh, as at the first opening. The date
// fields take any date as typed; one show would refuse is marked in its field with the reason, and
// the to-date, while left at the present moment, follows it as it shows. Replies are
// matched to the requests by id: one of an earlier show arriving late is dropped, and a request that
// fails shows its error in the window. The window keeps the records of the last replies (fresh
// records, never refilled) until the next ones arrive, so its tables never read a list being filled.
#include "gui/controls/date_time_field.h"
#include "gui/models/client_model.h"
#include "gui/statements/statement_sections.h"
#include "interfaces/client.h"

#include <QDateTime>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QMenu;
class QPrinter;
class QTableView;
class QTimer;

namespace Ui {
class AccountStatementWindowController;
}

namespace tc::gui {

class GuiContext;
class PieChartController;
class StatementTableModel;
class SummaryTableModel;

class AccountStatementWindowController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model, signed in. Fills the account list and asks for the first
    // account's statement of today at once.
    explicit AccountStatementWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~AccountStatementWindowController() override;

    // Each opening: texts, theme, today's period and the summary page; sends nothing.
    void windowDidAppear();

    // Sends the two requests for the chosen account and period; refused with an alert (nothing
    // sent, false) while signed out, for an account text that is empty, holds a control character or
    // names no account of the user's, and for a period past the present moment, before the
    // account's history limit or backward. A to-date left at the present moment asks up to the
    // moment of the show.
    bool showAccountStatement();
    // The period and account the next show asks for (tests, the screenshots).
    void setPeriod(const QDateTime& from, const QDateTime& to);
    void setAccountText(const QString& account);
    // The present moment the window reads (today's period, the to-date it follows, the limit of a
    // period, the moment the figures are of); the server's clock, as the statement's rows show
    // theirs, unless a test sets one it moves by hand.
    void setClock(std::function<QDateTime()> now);

    // Opens the print dialog, window-modal; the statement prints once it is accepted.
    void print();
    // Prints the statement as the window holds it now; false when the printer cannot be painted on.
    bool printTo(QPrinter& printer) const;
    // The statement's page settings, which the print dialog starts from.
    static void setUpPrinter(QPrinter& printer);

    void summaryButtonClicked();
    void detailsButtonClicked();
    // The details page at one table's tab.
    void showDetails(StatementTable table);

    QTableView* tableView(StatementTable table) const;
    QTableView* accountSummaryView() const;
    QTableView* orderSummaryView() const;
    QTableView* marginSummaryView() const;
    // The header menu of a detail table with one (null for the instruments).
    QMenu* headerMenu(StatementTable table) const;
    QString openStatusText() const;
    QString settledStatusText() const;
    // The error of the last show, or the wait for its replies; empty once both arrived.
    QString requestStatusText() const;
    PieChartController& settledPie() const { return *settledPie_; }
    PieChartController& openPie() const { return *openPie_; }
    // The account of the statement shown (0 before the first arrives).
    std::int32_t selectedAccountId() const { return selectedAccountId_; }
    const StatementData* shownData() const { return data_.get(); }

Q_SIGNALS:
    // Both replies of the last show arrived (or failed) and the window shows them.
    void statementShown();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateLanguageStrings();
    void applyTheme();
    void setDateValues();
    // The to-date set to the present moment, which it follows while left there.
    void followNow();
    bool toFollowsNow() const;
    std::int32_t historyDays(const AccountDetails& account) const;
    // Why show would refuse the period or the account; empty when it would take them. The
    // period's fault says which of its fields it is of.
    PeriodFault periodFault() const;
    QString accountFault(const QString& text) const;
    // Marks the fields whose entries show would refuse, with the same reason.
    void markEntries();
    void loadAccountCombo();
    // Takes up the current client: its accounts, and its first account's statement of today.
    void bindSession();
    void prepareTable(QTableView* view, StatementTable table);
    void buildHeaderMenu(StatementTable table);
    void statementArrived(const interfaces::StatementArrival& arrival);
    void requestFailed(const interfaces::RequestFailure& failure);
    void accountStatementUpdate();
    void fitSummaryHeight(QTableView* view);
    void finishWaiting();
    // The account the text names, read as show reads it; null for any text show refuses.
    std::shared_ptr<const AccountDetails> accountOf(const QString& text) const;
    QString accountBlock() const;
    QPrinter& printer();

    std::unique_ptr<Ui::AccountStatementWindowController> ui_;
    GuiContext& context_;
    std::array<StatementTableModel*, 5> tables_{};
    std::array<QMenu*, 5> headerMenus_{};
    SummaryTableModel* accountSummary_ = nullptr;
    SummaryTableModel* orderSummary_ = nullptr;
    SummaryTableModel* marginSummary_ = nullptr;
    PieChartController* settledPie_ = nullptr;
    PieChartController* openPie_ = nullptr;
    // The account and period of the figures shown, which the header names; those of the statement
    // awaited take their place only once it arrives, so a show that fails or waits leaves the header
    // naming the figures under it.
    std::int32_t selectedAccountId_ = 0;
    QDateTime shownFrom_;
    QDateTime shownTo_;
    interfaces::RequestId awaitedStatement_ = 0;
    interfaces::RequestId awaitedCancelled_ = 0;
    std::int32_t awaitedAccountId_ = 0;
    QDateTime awaitedFrom_;
    QDateTime awaitedTo_;            // the end of the period the awaited statement is of
    QDateTime toFollowed_;           // the present moment the to-date was last set to
    std::function<QDateTime()> now_; // the server's clock unless a test sets one
    QTimer* clock_ = nullptr;
    QString requestError_;
    std::shared_ptr<const statements::AccountStatementInfo> statement_;
    std::vector<std::shared_ptr<const Order>> cancelled_;
    std::shared_ptr<const StatementData> data_;
    std::unique_ptr<QPrinter> printer_;
    // The client (ClientModel::generation) whose accounts are listed, and the user it signed in.
    std::uint64_t boundGeneration_ = 0;
    std::optional<SignInUser> boundUser_;
};

} // namespace tc::gui
