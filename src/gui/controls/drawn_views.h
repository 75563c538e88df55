#pragma once
// Small drawn views: a dark gradient background panel, a dark button, and a view that lets every
// mouse event through to what lies behind it.
#include <QPushButton>
#include <QWidget>

namespace tc::gui {

// A panel with a dark vertical gradient and a black frame (toolbars of the chart panes).
class DarkGradientView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A push button with a dark rounded bezel, for dark panels.
class DarkButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Draws like a plain view but takes no mouse events: a click goes to what lies behind it.
class PassThroughView : public QWidget {
    Q_OBJECT
public:
    explicit PassThroughView(QWidget* parent = nullptr);
};

} // namespace tc::gui
