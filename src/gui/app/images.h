#pragma once
// The program's images, drawn as SVG for it. Names are those the windows use, with or without
// a ".png" ending ("Network_Speed_Good.png" and "Network_Speed_Good" are one image).
#include <QIcon>
#include <QString>

#include <string_view>

namespace tc::gui {

// The image of that name, or a null icon when the program has none.
QIcon image(std::string_view name);
// The image of an instrument type; "Others" for a type without its own.
QIcon instrumentTypeImage(const QString& typeName);

} // namespace tc::gui
