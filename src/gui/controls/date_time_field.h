#pragma once
// A date and time typed whole, as the program writes one ("MM/dd/yyyy HH:mm:ss"), or chosen from a
// calendar (its button, or Alt+Down). The text is what the trader typed: read whole or not at all,
// never stepped, completed or pulled into a range behind the trader's back (a section editor reads
// a typed separator as one more step and drops a digit its section refuses, so "11/15" became
// another date). The window that reads it says why a text is no date.
#include <QDateTime>
#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>

class QCalendarWidget;

namespace tc::gui {

class ThemeManager;

class DateTimeField : public QLineEdit {
    Q_OBJECT
public:
    static constexpr char kFormat[] = "MM/dd/yyyy HH:mm:ss";

    explicit DateTimeField(QWidget* parent = nullptr);

    // The text of the moment, to the second.
    void setDateTime(const QDateTime& time);
    // The moment the text names, its fields held in universal time (as the server's clock is held,
    // whatever the computer's zone); nullopt for any text that is not one (blanks around it aside).
    std::optional<QDateTime> dateTime() const;
    // The calendar's button, named in the language.
    void setCalendarName(const QString& name);
    // Opens the calendar under the field on the date it holds (today when none); a date chosen
    // there keeps the time of day typed (midnight when none).
    void showCalendar();
    // Today as the window reads it (the server's day); the computer's unless given.
    void setToday(std::function<QDate()> today) { today_ = std::move(today); }
    QCalendarWidget* calendar() const { return calendar_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* calendarButton_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    std::function<QDate()> today_ = [] { return QDate::currentDate(); };
};

// Why a period typed into a from and a to field cannot be asked for, and which of the two it is of;
// no text when it can.
struct PeriodFault {
    QString text;
    bool from = false;
    bool to = false;
};
// A field that holds no date, its text giving `example` as a date to type; no fault when both hold one.
PeriodFault unreadPeriod(const DateTimeField& from, const DateTimeField& to, std::int64_t language,
                         const QString& example);
// Each field marked with the fault's text when it is of that field, else cleared.
void markPeriod(DateTimeField& from, DateTimeField& to, const PeriodFault& fault, const ThemeManager& themes);

} // namespace tc::gui
