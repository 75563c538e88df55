#include "gui/app/images.h"

#include <QFile>

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
    const QString path = resourcePath(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    return path.isEmpty() ? QIcon() : QIcon(path);
}

QIcon instrumentTypeImage(const QString& typeName) {
    const QString path = resourcePath(typeName);
    return QIcon(path.isEmpty() ? QStringLiteral(":/images/Others.svg") : path);
}

} // namespace tc::gui
