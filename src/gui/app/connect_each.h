#pragma once
// A window's buttons, actions and boxes wired in one table: one signal, each sender to its own slot
// on the window. `links` are std::pair{sender, slot}.
#include <QObject>

namespace tc::gui {

template <typename Signal, typename Receiver, typename... Links>
void connectEach(Signal signal, Receiver* receiver, const Links&... links) {
    (QObject::connect(links.first, signal, receiver, links.second), ...);
}

} // namespace tc::gui
