#include "gui/chat/chat_room_list_model.h"

#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/chat/chat_window_rules.h"
#include "gui/texts.h"

#include <QFont>

namespace tc::gui {
namespace {

// The message column reads "Message" under a key of its own; kEvent is the journal's "Event" column.
const std::vector<std::string_view> kNoticeColumns{texts::kSubject, texts::kMessage, texts::kTimeColumn};
const std::vector<std::string_view> kRecentColumns{texts::kContact, texts::kMessage};

} // namespace

ChatRoomListModel::ChatRoomListModel(Kind kind, Language& language, QObject* parent)
    : QAbstractTableModel(parent), kind_(kind), language_(language) {
    connect(&language_, &Language::changed, this,
            [this] { Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1); });
}

const std::vector<std::string_view>& ChatRoomListModel::columns() const {
    return kind_ == Kind::Notices ? kNoticeColumns : kRecentColumns;
}

void ChatRoomListModel::reload(const chat::ChatCollections& chat) {
    beginResetModel();
    rooms_ = kind_ == Kind::Notices ? chat.getMessageNoticesCollection() : chat.getRecentChatCollection();
    endResetModel();
}

void ChatRoomListModel::clear() {
    beginResetModel();
    rooms_.clear();
    endResetModel();
}

std::shared_ptr<const chat::ChatRoom> ChatRoomListModel::roomAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return rooms_[static_cast<std::size_t>(row)];
}

int ChatRoomListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rooms_.size());
}

int ChatRoomListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns().size());
}

QVariant ChatRoomListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const chat::ChatRoom& room = *rooms_[static_cast<std::size_t>(index.row())];
    const std::string_view key = columns()[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        if (key == texts::kSubject)
            return qt(room.MessageTitle);
        if (key == texts::kMessage)
            return qt(room.Message);
        if (key == texts::kTimeColumn)
            return qt(noticeTime(room.chatTime));
        if (key == texts::kContact)
            return qt(recentConversationName(room));
        return {};
    case Qt::FontRole:
        if (kind_ == Kind::Notices && room.isAnUnreadMessage) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case RoomKeyRole:
        return qt(room.RoomId);
    default:
        return {};
    }
}

QVariant ChatRoomListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount() || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return language_.text(columns()[static_cast<std::size_t>(section)]);
}

} // namespace tc::gui
