#pragma once
// A conversation's transcript: one row per message, "name[time]:" coloured by whose message it is
// (own or the other party's, in the theme's chat colours), a tab, then the text wrapped to the
// column's width, and under an own text the server holds for a signed-out contact, or one whose delivery the
// server had not confirmed when the line was lost, a note saying so. The
// model keeps a share of the room it shows and, told of a change, appends the rows that came (a replaced or
// shortened room starts again). The view sizes each row once, when it comes, and all rows again only when the
// width changes, so appending costs the same whatever the length of the transcript.
#include "gui/chat/chat_window_rules.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

#include <memory>
#include <string>
#include <vector>

namespace tc::gui {

class ThemeManager;

class TranscriptModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles { OwnRole = Qt::UserRole + 1, HeadRole, TextRole, NoteRole };

    explicit TranscriptModel(QObject* parent = nullptr);

    // The room to show (null: none) and whose messages count as the user's own. Appends what the
    // same room gained since the last call; anything else resets.
    void setRoom(std::shared_ptr<const chat::ChatRoom> room, std::string ownUserName);
    const std::shared_ptr<const chat::ChatRoom>& room() const { return room_; }
    const TranscriptLine& line(int row) const { return lines_[static_cast<std::size_t>(row)]; }
    // The notes under an own text the server holds for a signed-out contact and under one whose
    // delivery was not confirmed; the rows read them again.
    void setNotes(std::string held, std::string unconfirmed);
    // Reads every row of the room again (marks of rows already shown changed).
    void reread();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const chat::ChatRoom> room_;
    std::string own_;
    std::string heldNote_;
    std::string unconfirmedNote_;
    std::vector<TranscriptLine> lines_;
    std::string lastText_; // of the last message taken: a room trimmed at the front starts again
};

class TranscriptDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TranscriptDelegate(ThemeManager& themes, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The height of a line wrapped at `width` in `font`.
    int heightFor(const TranscriptLine& line, int width, const QFont& font) const;

private:
    ThemeManager& themes_;
};

class TranscriptView : public QTableView {
    Q_OBJECT
public:
    explicit TranscriptView(QWidget* parent = nullptr);

    // Needs the theme for the head colours; the view owns the model and the delegate it makes.
    void setThemes(ThemeManager& themes);
    TranscriptModel* transcript() const { return model_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void sizeRows(int first, int last);
    void rowsCame(int first, int last);

    TranscriptModel* model_ = nullptr;
    TranscriptDelegate* delegate_ = nullptr;
    int sizedWidth_ = -1;
};

} // namespace tc::gui
