#include "gui/controls/price_stepper.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace tc::gui {

PriceStepper::PriceStepper(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {up_, down_}) {
        arrow->setAutoRepeat(true);
        arrow->setFixedSize(18, 12);
        arrow->setFocusPolicy(Qt::NoFocus); // the field takes the keys; Up and Down step it there
        column->addWidget(arrow);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Q_EMIT stepped(true); });
    connect(down_, &QToolButton::clicked, this, [this] { Q_EMIT stepped(false); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PriceStepper::setFieldName(const QString& name) {
    up_->setToolTip(name + QStringLiteral(" +"));
    up_->setAccessibleName(up_->toolTip());
    down_->setToolTip(name + QStringLiteral(" -"));
    down_->setAccessibleName(down_->toolTip());
}

} // namespace tc::gui
