#pragma once
// The ticket's multi-account drawer: the rows of the accounts the order can go to, with a box that
// ticks them all and the quantity header that sets every ticked row's quantity.
#include "gui/trading/ticket_rules.h"

#include <QFrame>

#include <functional>
#include <memory>
#include <string_view>

namespace Ui {
class TicketAccountsDrawer;
}

namespace tc::gui {

class HeaderEditor;
class MultiAccountTableModel;

class TicketAccountsDrawer : public QFrame {
    Q_OBJECT
public:
    explicit TicketAccountsDrawer(QWidget* parent = nullptr);
    ~TicketAccountsDrawer() override;

    // Looks a header's language key up.
    void setTextSource(std::function<QString(std::string_view)> text);
    MultiAccountTableModel& model() const { return *model_; }
    // New rows, none ticked.
    void setRows(const AccountList& accounts);
    // A line under the rows that says why accounts are not listed; empty hides it.
    void setNote(const QString& note);
    // Turns the select-all box off without unticking the rows.
    void clearSelectAll();
    void retranslate();

Q_SIGNALS:
    // A tick or a quantity changed: the order's total moved.
    void orderChanged();
    // A quantity typed into a row or the quantity header is no number; nothing took it.
    void quantityRefused(const QString& text);

private:
    std::unique_ptr<Ui::TicketAccountsDrawer> ui_;
    std::function<QString(std::string_view)> text_;
    MultiAccountTableModel* model_ = nullptr;
    HeaderEditor* headerEditor_ = nullptr;
};

} // namespace tc::gui
