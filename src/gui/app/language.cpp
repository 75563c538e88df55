#include "gui/app/language.h"

#include "gui/app/language_list.h"
#include "gui/app/qt_translations.h"
#include "gui/texts_by_name.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/user_defaults.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

#include <algorithm>
#include <string>
#include <vector>

namespace tc::gui {
namespace {

// The table's text, or nullopt when the table lacks the key (the lookup then answers the key) or
// holds an empty text.
std::optional<std::string> tableText(std::int64_t language, const std::string& key) {
    auto text = LanguageString::stringForSelectedLanguage(language, key);
    if (!text || text->empty() || *text == LanguageString::getProductBasedKeyForKey(key))
        return std::nullopt;
    return text;
}

// A form names its text as the code does (kBid); code hands the key by number. A name no text
// has stays as it is, so it shows instead of an empty label.
std::string_view keyForName(std::string_view key) {
    if (key.empty() || key.front() != 'k')
        return key;
    const auto& table = texts::kKeysByName;
    const auto* found =
        std::lower_bound(table.begin(), table.end(), key,
                         [](const texts::NamedKey& e, std::string_view name) { return e.name < name; });
    return found != table.end() && found->name == key ? found->key : key;
}

QString keyOf(const QObject* object, const char* property) {
    const QVariant value = object->property(property);
    return value.isValid() ? value.toString().trimmed() : QString();
}

void setText(QObject* object, const QString& text) {
    if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(object)) {
        box->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        edit->setPlaceholderText(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        // A tab page names its tab; a window its title bar.
        auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
        auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs && tabs->indexOf(widget) >= 0)
            tabs->setTabText(tabs->indexOf(widget), text);
        else if (widget->isWindow())
            widget->setWindowTitle(text);
        else
            widget->setAccessibleName(text);
    }
}

void setToolTip(QObject* object, const QString& text) {
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setToolTip(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        widget->setToolTip(text);
        // An icon-only button is read by its tooltip.
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->text().isEmpty())
            button->setAccessibleName(text);
    }
}

void applyTo(QObject* object, const Language& language) {
    if (const QString key = keyOf(object, kLangKeyProperty); !key.isEmpty())
        setText(object, language.text(key.toStdString()));
    if (const QString key = keyOf(object, kLangToolTipKeyProperty); !key.isEmpty())
        setToolTip(object, language.text(key.toStdString()));
}

// Every window, open or opened later, follows the application's direction unless it set its own.
void applyDirection(std::int64_t language) {
    QGuiApplication::setLayoutDirection(isRightToLeft(language) ? Qt::RightToLeft : Qt::LeftToRight);
}

} // namespace

QString lookupText(std::int64_t language, std::string_view key) {
    const std::string padded = LanguageString::setLanguageKey(keyForName(key));
    auto text = tableText(language, padded);
    if (!text && language != 0)
        text = tableText(0, padded);
    return QString::fromStdString(text ? *text : padded);
}

QString figuresKeptWhole(std::int64_t language, QString line) {
    if (!isRightToLeft(language))
        return line;
    // A left-to-right mark makes the minus and the digits after it one left-to-right run.
    constexpr QChar kLeftToRightMark(0x200E);
    for (qsizetype i = line.size() - 2; i >= 0; --i)
        if (line[i] == QLatin1Char('-') && line[i + 1].isDigit())
            line.insert(i, kLeftToRightMark);
    return line;
}

namespace {
constexpr QChar kRightToLeftMark(0x200F);
constexpr QChar kLeftToRightIsolate(0x2066);
constexpr QChar kFirstStrongIsolate(0x2068);
constexpr QChar kPopDirectionalIsolate(0x2069);

QString isolated(const QString& text, QChar isolate = kFirstStrongIsolate) {
    return isolate + text + kPopDirectionalIsolate;
}
} // namespace

QString panelButtonText(const QString& label, PanelEdge edge, Qt::LayoutDirection direction) {
    const bool rightToLeft = direction == Qt::RightToLeft;
    const bool left = (edge == PanelEdge::Leading) != rightToLeft;
    if (!rightToLeft)
        return left ? QStringLiteral("<< ") + label : label + QStringLiteral(" >>");
    // A button lays its text out in the direction of its first letter: a right-to-left label would
    // take the arrows to its other end and turn them round. One left-to-right isolate holds the
    // arrows where they are meant to be, the label in its own direction within it.
    const QString shown =
        left ? QStringLiteral("<< ") + isolated(label) : isolated(label) + QStringLiteral(" >>");
    return isolated(shown, kLeftToRightIsolate);
}

QString filledIn(const QString& text, const QStringList& values) {
    std::vector<std::string> held;
    held.reserve(static_cast<std::size_t>(values.size()));
    for (const QString& value : values)
        held.push_back(value.toStdString());
    const std::vector<std::string_view> args(held.begin(), held.end());
    return QString::fromStdString(fillPositional(text.toStdString(), args));
}

QString filledText(std::int64_t language, std::string_view key, const QStringList& values) {
    if (!isRightToLeft(language))
        return filledIn(lookupText(language, key), values);
    QStringList held;
    held.reserve(values.size());
    for (const QString& value : values)
        held.push_back(isolated(value));
    return kRightToLeftMark + filledIn(lookupText(language, key), held);
}

QString pairValue(std::int64_t language, const QString& value) {
    if (!isRightToLeft(language))
        return QStringLiteral(": ") + value;
    // A label of selectable text takes its direction from its first strong letter, and ": 20001" has
    // none: it would be laid out left to right and show "20001 :" after the caption. The mark makes
    // the line right to left; the isolate keeps the figure (a minus, grouping) in its own order.
    return kRightToLeftMark + QStringLiteral(": ") + kLeftToRightIsolate + value + kPopDirectionalIsolate;
}

QString valueOfPair(QString shown) {
    shown.remove(kRightToLeftMark).remove(kLeftToRightIsolate).remove(kPopDirectionalIsolate);
    return shown.startsWith(QStringLiteral(": ")) ? shown.mid(2) : shown;
}

Language::Language(platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), qtTexts_(std::make_unique<QtTranslations>()) {
    std::optional<std::int64_t> stored;
    if (defaults_.objectForKey(kLanguageKey))
        stored = defaults_.integerForKey(kLanguageKey);
    selected_ = languageForStoredValue(stored);
    applyDirection(selected_);
    qtTexts_->select(selected_);
}

Language::~Language() = default;

bool Language::select(std::int64_t language) {
    if (!isLanguage(language))
        return false;
    selected_ = language;
    applyDirection(language);
    qtTexts_->select(language);
    defaults_.set(kLanguageKey, language);
    defaults_.synchronize();
    Q_EMIT changed();
    return true;
}

void applyLanguage(QObject* root, const Language& language) {
    if (!root)
        return;
    applyTo(root, language);
    for (QObject* child : root->findChildren<QObject*>())
        applyTo(child, language);
}

void bindLanguage(QWidget* root, Language& language, std::function<void()> after) {
    auto apply = [root, &language, after = std::move(after)] {
        applyLanguage(root, language);
        if (after)
            after();
    };
    apply();
    QObject::connect(&language, &Language::changed, root, apply);
}

} // namespace tc::gui
