#include "gui/controls/drawn_views.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tc::gui {
namespace {

QColor grey(double white, double alpha = 1.0) {
    return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
}

QPainterPath rounded(const QRectF& r) {
    QPainterPath path;
    path.addRoundedRect(r, 3.0, 3.0);
    return path;
}

} // namespace

void DarkGradientView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, height(), 0, 0); // bottom to top
    gradient.setColorAt(0.0, grey(0.15));
    gradient.setColorAt(0.5, grey(0.19));
    gradient.setColorAt(0.5001, grey(0.20));
    gradient.setColorAt(1.0, grey(0.25));
    painter.fillRect(rect(), gradient);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void DarkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF f = QRectF(rect());
    QLinearGradient outer(0, f.bottom(), 0, f.top());
    outer.setColorAt(0.0, grey(0.20));
    outer.setColorAt(1.0, grey(0.21));
    painter.fillPath(rounded(f), outer);
    const QRectF inner = f.adjusted(2, 2, -2, -2);
    QLinearGradient face(0, inner.top(), 0, inner.bottom());
    face.setColorAt(0.0, grey(0.50));
    face.setColorAt(0.02, grey(0.42));
    face.setColorAt(0.5, grey(0.30));
    face.setColorAt(0.5001, grey(0.27));
    face.setColorAt(0.88, grey(0.20));
    face.setColorAt(1.0, grey(0.17));
    painter.fillPath(rounded(inner), face);
    painter.setPen(QPen(grey(0.12), 1.0));
    painter.drawPath(rounded(f.adjusted(1.5, 1.5, -1.5, -1.5)));
    painter.setPen(QPen(grey(1.0, 0.05), 1.0));
    painter.drawPath(rounded(f.adjusted(2.5, 2.5, -2.5, -2.5)));
    if (isDown())
        painter.fillPath(rounded(inner), grey(0.0, 0.35));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawPath(rounded(f.adjusted(1, 1, -1, -1)));
    }
    painter.setPen(isEnabled() ? grey(0.92) : grey(0.55));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

PassThroughView::PassThroughView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace tc::gui
