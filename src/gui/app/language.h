#pragma once
// The selected language and the walker that puts its texts on a window. Static texts of a `.ui`
// carry the name of their text (kBid, as gui/texts.h names it; the build checks the names) as the
// dynamic property "langKey" (and "langToolTipKey" for a tooltip); code may set a key by number.
// Texts composed in code are looked up with text(). A text missing from the selected language's
// table reads in English, and one missing there too shows its key: never an empty label.
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class QWidget;

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

class QtTranslations;

inline constexpr char kLangKeyProperty[] = "langKey";
inline constexpr char kLangToolTipKeyProperty[] = "langToolTipKey";

// The text of a key, or of a text's name, in a language (see above). Keys shorter than four digits
// are padded with zeros.
QString lookupText(std::int64_t language, std::string_view key);

class Language : public QObject {
    Q_OBJECT
public:
    // Takes the language stored under "LanguageKey" and its layout direction; a number outside the
    // list means English and leaves the stored value as it is.
    explicit Language(platform::UserDefaults& defaults, QObject* parent = nullptr);
    ~Language() override;

    // The language number every text lookup uses; readable from any thread.
    std::int64_t selected() const { return selected_.load(); }
    // Stores the number under "LanguageKey", lays the application out right to left for Dari,
    // Pashto and Arabic (left to right otherwise), puts Qt's own texts (standard buttons) in the
    // language and re-applies every bound window. A number outside 0..11 changes nothing (false).
    bool select(std::int64_t language);
    QString text(std::string_view key) const { return lookupText(selected(), key); }

Q_SIGNALS:
    void changed();

private:
    platform::UserDefaults& defaults_;
    std::atomic<std::int64_t> selected_{0};
    std::unique_ptr<QtTranslations> qtTexts_;
};

// A line of captions and figures ("P/L : -24.69     ...") as a right-to-left language shows it: each
// minus sign directly before a digit is bound to its number, which would otherwise read "24.69-".
// Left-to-right languages get the line unchanged.
QString figuresKeptWhole(std::int64_t language, QString line);

// The value label of a "caption : value" pair, the caption in a label of its own before it: ": value".
// In a right-to-left language the colon is bound to the caption's side and the figure kept whole, so
// that the pair reads "caption : value" from the right, whatever the label's own direction.
QString pairValue(std::int64_t language, const QString& value);
// The value of a text pairValue() made.
QString valueOfPair(QString shown);

// The side of a window a button's panel opens on, in the window's reading order: the leading edge is
// the left in a left-to-right layout and the right in a right-to-left one.
enum class PanelEdge : std::uint8_t { Leading, Trailing };
// The text of a button that opens a side panel: its label with "<<" or ">>" on the side the panel
// opens on, pointing to it ("<< Multi Account" for a panel on the left, "Market Depth >>" for one on
// the right), mirrored with the layout; the arrows stand so in a label of any script.
QString panelButtonText(const QString& label, PanelEdge edge, Qt::LayoutDirection direction);

// `text` with its {0}, {1}... filled in with `values`, in one pass, so that a value holding "{1}" stays
// as it is. The one filler of the program's texts.
QString filledIn(const QString& text, const QStringList& values);
// The text of a key with its {0}, {1}... filled in. In a right-to-left language the line reads right
// to left whatever its first letter, and each value keeps its own direction in its place, so that
// "EURUSD" and a period name read in the text's order with its comma between them.
QString filledText(std::int64_t language, std::string_view key, const QStringList& values);

// Puts the selected language's texts on `root` and every object inside it that carries a key:
// button and label texts, group-box titles, line-edit placeholders, action texts, the titles of
// windows and of tab pages, tooltips.
void applyLanguage(QObject* root, const Language& language);
// applyLanguage now and whenever the language changes; `after` then sets the texts composed in code.
void bindLanguage(QWidget* root, Language& language, std::function<void()> after = {});

} // namespace tc::gui
