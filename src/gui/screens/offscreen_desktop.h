#pragma once
// What the tools that run the program without a display share: waiting on the event loop, and a
// screen of a desktop's size in place of the offscreen platform's own 800x600.
#include <QTemporaryDir>

#include <functional>

namespace tc::gui {

// Runs the event loop until `done` or the limit; false at the limit.
bool waitForEvents(const std::function<bool()>& done, int timeoutMs);

// Describes one screen of `width` by `height` at 96 dpi in `folder` and points the offscreen platform
// at it; nothing when another platform is chosen or the folder cannot be written. Call before the
// application object is made.
void useDesktopSizedScreen(const QTemporaryDir& folder, int width, int height);

} // namespace tc::gui
