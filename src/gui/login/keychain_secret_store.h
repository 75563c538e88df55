#pragma once
// Passwords in the desktop's Secret Service, through qtkeychain; never in a file (the insecure
// fallback stays off). Where no Secret Service answers, writes fail with the reason and reads find
// nothing.
#include "gui/login/remembered_users.h"

#include <QObject>

#include <optional>

namespace tc::gui {

class KeychainSecretStore : public QObject, public SecretStore {
    Q_OBJECT
public:
    explicit KeychainSecretStore(QObject* parent = nullptr);

    void write(const std::string& key, const std::string& secret, WriteDone done) override;
    void read(const std::string& key, ReadDone done) override;
    void remove(const std::string& key, RemoveDone done) override;
    // A Secret Service running or startable on the session bus; asked once.
    bool answers() const override;

private:
    mutable std::optional<bool> answers_;
};

} // namespace tc::gui
