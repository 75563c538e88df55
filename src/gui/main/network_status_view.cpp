#include "gui/main/network_status_view.h"

#include "gui/app/images.h"
#include "gui/app/language.h"

#include <QLabel>

#include <utility>

namespace tc::gui {
namespace {

constexpr int kStatusImageSize = 16;

} // namespace

NetworkStatusView::NetworkStatusView(Labels labels, std::function<QString(std::string_view)> text,
                                     QObject* parent)
    : QObject(parent), labels_(labels), text_(std::move(text)) {}

void NetworkStatusView::show(const interfaces::NetworkSpeed& speed, bool lost) {
    const NetworkStatusUpdate update = networkStatusUpdate(speed, lost);
    if (update.serverTime)
        labels_.serverTime->setText(QString::fromStdString(*update.serverTime));
    if (!update.look)
        return;
    const NetworkStatusLook& look = *update.look;
    if (std::exchange(shownSpeedImage_, look.speedImage) != look.speedImage)
        labels_.speedImage->setPixmap(image(look.speedImage).pixmap(kStatusImageSize, kStatusImageSize));
    if (std::exchange(shownConnectionImage_, look.connectionImage) != look.connectionImage)
        labels_.connectionImage->setPixmap(
            image(look.connectionImage).pixmap(kStatusImageSize, kStatusImageSize));
    labels_.connectionText->setProperty(
        kLangKeyProperty, QString::fromUtf8(look.textKey.data(), static_cast<int>(look.textKey.size())));
    labels_.connectionText->setText(text_(look.textKey));
}

} // namespace tc::gui
