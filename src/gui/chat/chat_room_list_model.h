#pragma once
// The rows of the notices and the recent-conversations windows: the rooms the chat collections list
// as notices (subject, text, time; unread ones bold) or as earlier conversations (the other party,
// the last text), newest key first. Read afresh at every reload; a row is a room's key.
#include "model/chat_collections.h"

#include <QAbstractTableModel>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

class Language;

class ChatRoomListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Notices, RecentConversations };
    // The room's key in the chat collections (its room id).
    static constexpr int RoomKeyRole = Qt::UserRole + 1;

    ChatRoomListModel(Kind kind, Language& language, QObject* parent = nullptr);

    void reload(const chat::ChatCollections& chat);
    void clear();
    std::shared_ptr<const chat::ChatRoom> roomAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const std::vector<std::string_view>& columns() const;

    Kind kind_;
    Language& language_;
    std::vector<std::shared_ptr<const chat::ChatRoom>> rooms_;
};

} // namespace tc::gui
