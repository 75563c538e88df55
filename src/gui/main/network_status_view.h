#pragma once
// The main window's network status: the speed and connection images, the connection's words and the
// server's clock, on the status line's labels. The rules are networkStatusUpdate's.
#include "gui/main/network_status.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string_view>

class QLabel;

namespace tc::gui {

class NetworkStatusView : public QObject {
    Q_OBJECT
public:
    struct Labels {
        QLabel* speedImage = nullptr;
        QLabel* connectionImage = nullptr;
        QLabel* connectionText = nullptr;
        QLabel* serverTime = nullptr;
    };
    // `text` looks a language key up.
    NetworkStatusView(Labels labels, std::function<QString(std::string_view)> text,
                      QObject* parent = nullptr);

    void show(const interfaces::NetworkSpeed& speed, bool lost);

private:
    Labels labels_;
    std::function<QString(std::string_view)> text_;
    // The images shown: set again only when they change, not at every second's ping.
    std::string_view shownSpeedImage_;
    std::string_view shownConnectionImage_;
};

} // namespace tc::gui
