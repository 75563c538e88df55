#pragma once
// A stepper beside a price field: an up and a down arrow, each a step of the field's tick. It holds
// no value; its owner moves the field's price and writes it back.
#include <QWidget>

class QToolButton;

namespace tc::gui {

class PriceStepper : public QWidget {
    Q_OBJECT
public:
    explicit PriceStepper(QWidget* parent = nullptr);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }
    // The arrows' tooltips and accessible names: "<name> +" and "<name> -".
    void setFieldName(const QString& name);

Q_SIGNALS:
    void stepped(bool up);

private:
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace tc::gui
