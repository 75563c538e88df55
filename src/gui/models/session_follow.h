#pragma once
// The connections a sheet keeps to the session while it shows. A re-login drops them at once and
// closes the sheet, whose records were the old client's; closing the sheet drops them too.
#include <QMetaObject>

#include <functional>
#include <vector>

class QDialog;

namespace tc::gui {

class ClientModel;

class SessionFollow {
public:
    SessionFollow() = default;
    SessionFollow(const SessionFollow&) = delete;
    SessionFollow& operator=(const SessionFollow&) = delete;
    ~SessionFollow() { drop(); }

    // Drops what was followed, then follows `session`'s replacement for `sheet`: `letGo` runs as
    // the connections go, before the sheet closes.
    void start(QDialog* sheet, ClientModel* session, std::function<void()> letGo = {});
    void add(QMetaObject::Connection connection) { connections_.push_back(std::move(connection)); }
    void drop();

private:
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace tc::gui
