#pragma once
// An editable column header for a number (the order ticket's quantity column): a field laid over
// the header section that keeps what is typed, as every numeric field does, and reports its text
// when the edit ends for the owner to read whole or refuse.
#include <QObject>
#include <QPointer>

class QHeaderView;
class QLineEdit;

namespace tc::gui {

class HeaderEditor : public QObject {
    Q_OBJECT
public:
    explicit HeaderEditor(QHeaderView* header);

    // Starts editing a section, with the number its header shows.
    void edit(int section);
    bool isEditing() const;

Q_SIGNALS:
    // "TableHeaderEditNotification": the final text, also when it is empty.
    void edited(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish();

    QPointer<QHeaderView> header_;
    QLineEdit* field_ = nullptr;
};

} // namespace tc::gui
