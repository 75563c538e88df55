#include "gui/controls/date_time_field.h"

#include "gui/app/language.h"
#include "gui/controls/entry_marks.h"
#include "gui/texts.h"

#include <QAction>
#include <QCalendarWidget>
#include <QIcon>
#include <QKeyEvent>
#include <QTimeZone>

namespace tc::gui {

DateTimeField::DateTimeField(QWidget* parent) : QLineEdit(parent) {
    // A date reads left to right in every language: set on the field itself, a right-to-left
    // window or a later switch of language leaves it so.
    setLayoutDirection(Qt::LeftToRight);
    calendarButton_ = addAction(QIcon(QStringLiteral(":/images/calendar.svg")), QLineEdit::TrailingPosition);
    calendarButton_->setObjectName(QStringLiteral("calendarButton"));
    connect(calendarButton_, &QAction::triggered, this, &DateTimeField::showCalendar);
    // Room for the whole moment and the button.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 48);
}

void DateTimeField::setDateTime(const QDateTime& time) {
    setText(time.toString(QString::fromLatin1(kFormat)));
}

std::optional<QDateTime> DateTimeField::dateTime() const {
    // Read as the fields typed, in universal time: in the computer's zone an hour it skips would be
    // no time at all, and another would be moved by its offset when compared.
    const QString typed = text().trimmed();
    const qsizetype gap = typed.indexOf(QLatin1Char(' '));
    if (gap < 0)
        return std::nullopt;
    const QDate date = QDate::fromString(typed.left(gap), QStringLiteral("MM/dd/yyyy"));
    const QTime time = QTime::fromString(typed.mid(gap + 1), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

void DateTimeField::setCalendarName(const QString& name) {
    calendarButton_->setText(name);
    calendarButton_->setToolTip(name);
}

void DateTimeField::showCalendar() {
    if (!calendar_) {
        calendar_ = new QCalendarWidget(this);
        calendar_->setObjectName(QStringLiteral("calendarPopup"));
        calendar_->setWindowFlags(Qt::Popup);
        calendar_->setGridVisible(true);
        const auto choose = [this](QDate day) {
            const auto held = dateTime();
            setDateTime(QDateTime(day, held ? held->time() : QTime(0, 0), QTimeZone::utc()));
            setModified(true); // chosen by the trader, as if typed
            calendar_->hide();
            setFocus();
        };
        connect(calendar_, &QCalendarWidget::clicked, this, choose);
        connect(calendar_, &QCalendarWidget::activated, this, choose);
    }
    const auto held = dateTime();
    calendar_->setSelectedDate(held ? held->date() : today_());
    calendar_->adjustSize();
    calendar_->move(mapToGlobal(QPoint(0, height())));
    calendar_->show();
    calendar_->setFocus();
}

void DateTimeField::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) ||
        event->key() == Qt::Key_F4) {
        showCalendar();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

PeriodFault unreadPeriod(const DateTimeField& from, const DateTimeField& to, std::int64_t language,
                         const QString& example) {
    if (!from.dateTime())
        return {filledText(language, texts::kFromDateNotDateTime, {example}), true, false};
    if (!to.dateTime())
        return {filledText(language, texts::kDateNotDateTime, {example}), false, true};
    return {};
}

void markPeriod(DateTimeField& from, DateTimeField& to, const PeriodFault& fault,
                const ThemeManager& themes) {
    markEntry(&from, fault.from ? fault.text : QString(), themes);
    markEntry(&to, fault.to ? fault.text : QString(), themes);
}

} // namespace tc::gui
