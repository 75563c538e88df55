#include "gui/app/images.h"

#include <QFile>
#include <QHash>

namespace tc::gui {
namespace {

QString resourcePath(QString name) {
    if (name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('.')))
        return {};
    const QString path = QStringLiteral(":/images/%1.svg").arg(name);
    return QFile::exists(path) ? path : QString();
}

} // namespace

QIcon image(std::string_view name) {
    // Windows ask for the same few images again and again; each QIcon of a file renders and keeps its
    // own pixmaps, so one per name is kept for the process (GUI thread only).
    // Never destroyed: icons must not outlive the application object at exit.
    static auto& icons = *new QHash<QString, QIcon>;
    const QString key = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (const auto it = icons.constFind(key); it != icons.constEnd())
        return *it;
    const QString path = resourcePath(key);
    const QIcon icon = path.isEmpty() ? QIcon() : QIcon(path);
    if (!path.isEmpty())
        icons.insert(key, icon);
    return icon;
}

QIcon instrumentTypeImage(const QString& typeName) {
    const QString path = resourcePath(typeName);
    return QIcon(path.isEmpty() ? QStringLiteral(":/images/Others.svg") : path);
}

} // namespace tc::gui
