#pragma once
// A field that holds a text it refuses shows so at once: painted as an invalid price is, the reason
// as its tooltip (and for screen readers); cleared once it reads.
#include <QString>

#include <optional>

class QWidget;

namespace tc::gui {

class ThemeManager;

// `reason` empty: the field reads, its own look comes back. A combo box is marked on its field.
void markEntry(QWidget* field, const QString& reason, const ThemeManager& themes);
// The reason alone, for a field whose colour its own check paints (the ticket's price fields).
void noteEntry(QWidget* field, const QString& reason);
// The colour alone: a field's check passed (true) or refused (false, as markEntry paints it), or its
// own look (nullopt).
void paintEntry(QWidget* field, std::optional<bool> passed, const ThemeManager& themes);

} // namespace tc::gui
