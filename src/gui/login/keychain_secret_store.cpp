#include "gui/login/keychain_secret_store.h"

#include "gui/app/system_notifier.h"
#include "platform/log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <qt6keychain/keychain.h>

namespace tc::gui {
namespace {

const QString kService = QStringLiteral("tradeclient");
const QString kSecretService = QStringLiteral("org.freedesktop.secrets");

template <typename Job>
Job* makeJob(QObject* parent, const std::string& key) {
    auto* job = new Job(kService, parent);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(QString::fromStdString(key));
    return job;
}

} // namespace

KeychainSecretStore::KeychainSecretStore(QObject* parent) : QObject(parent) {}

void KeychainSecretStore::write(const std::string& key, const std::string& secret, WriteDone done) {
    if (!sessionBusAvailable()) {
        done(false, "no D-Bus session bus, so no Secret Service");
        return;
    }
    auto* job = makeJob<QKeychain::WritePasswordJob>(this, key);
    job->setTextData(QString::fromStdString(secret));
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* finished) {
        if (finished->error() == QKeychain::NoError)
            done(true, {});
        else
            done(false, "the Secret Service did not keep it (" + finished->errorString().toStdString() + ")");
    });
    job->start();
}

void KeychainSecretStore::read(const std::string& key, ReadDone done) {
    if (!sessionBusAvailable()) {
        done(std::nullopt);
        return;
    }
    auto* job = makeJob<QKeychain::ReadPasswordJob>(this, key);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* finished) {
        auto* reader = static_cast<QKeychain::ReadPasswordJob*>(finished);
        if (reader->error() == QKeychain::NoError) {
            done(reader->textData().toStdString());
            return;
        }
        // A keyring without its collection answers but gives nothing back: the log keeps its words.
        platform::Log::warning("the Secret Service gave back no password: {}",
                               reader->errorString().toStdString());
        done(std::nullopt);
    });
    job->start();
}

bool KeychainSecretStore::answers() const {
    if (!answers_) {
        bool found = false;
        if (sessionBusAvailable()) {
            if (QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface()) {
                const QDBusReply<bool> running = bus->isServiceRegistered(kSecretService);
                const QDBusReply<QStringList> startable = bus->activatableServiceNames();
                found = (running.isValid() && running.value()) ||
                        (startable.isValid() && startable.value().contains(kSecretService));
            }
        }
        answers_ = found;
    }
    return *answers_;
}

void KeychainSecretStore::remove(const std::string& key, RemoveDone done) {
    if (!sessionBusAvailable()) {
        done(false, "no D-Bus session bus, so no Secret Service");
        return;
    }
    auto* job = makeJob<QKeychain::DeletePasswordJob>(this, key);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* finished) {
        // Nothing there to take out is as good as taken out.
        if (finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound)
            done(true, {});
        else
            done(false,
                 "the Secret Service did not take it out (" + finished->errorString().toStdString() + ")");
    });
    job->start();
}

} // namespace tc::gui
