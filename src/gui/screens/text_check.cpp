#include "gui/screens/text_check.h"

#include "gui/screens/layout_check.h"
#include "gui/screens/screen_registry.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextStream>
#include <QToolButton>

#include <algorithm>

namespace tc::gui {
namespace {

bool hasLetter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// The text as a person reads it: no mnemonic mark, no closing colon or ellipsis, one case.
QString reading(const QString& text) {
    QString out = shownText(text).simplified();
    for (const QString& end : {QStringLiteral("..."), QStringLiteral("\u2026"), QStringLiteral(":"),
                               QStringLiteral("\uff1a"), QStringLiteral("\u061b")})
        if (out.endsWith(end))
            out = out.chopped(end.size()).trimmed();
    return out.toCaseFolded();
}

QString nameOf(const QObject* object) {
    const QString name = object->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return QString::fromLatin1(object->metaObject()->className());
    return name;
}

// A control's place in the window by object names (class names where none), each with its rank
// among siblings of that name, so that it names the same control in every language.
QString placeOf(const QObject* object, const QWidget* window) {
    QStringList parts;
    for (const QObject* o = object; o && o != window; o = o->parent()) {
        const QString name = nameOf(o);
        int rank = 0;
        if (const QObject* parent = o->parent())
            for (const QObject* sibling : parent->children()) {
                if (sibling == o)
                    break;
                rank += nameOf(sibling) == name;
            }
        parts.prepend(rank == 0 ? name : QStringLiteral("%1#%2").arg(name).arg(rank));
    }
    return parts.join(QLatin1Char('/'));
}

class Reader {
public:
    explicit Reader(QWidget* window) : window_(window) {}

    std::vector<ShownText> run() {
        add(QStringLiteral("window"), QStringLiteral("(title)"), window_->windowTitle());
        readWidget(window_);
        for (QWidget* w : window_->findChildren<QWidget*>())
            if (w->window() == window_ && w->isVisible())
                readWidget(w);
        for (const QMenu* menu : window_->findChildren<QMenu*>())
            readMenu(menu);
        return std::move(texts_);
    }

private:
    void add(const QString& group, const QString& place, const QString& text) {
        if (hasLetter(text))
            texts_.push_back({group, place, text});
    }

    void readWidget(QWidget* w) {
        const QString place = placeOf(w, window_);
        const QString window = QStringLiteral("window");
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            QString text = label->text();
            if (label->textFormat() == Qt::RichText ||
                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
                text = QTextDocumentFragment::fromHtml(text).toPlainText();
            add(window, place, text);
        } else if (const auto* tool = qobject_cast<const QToolButton*>(w)) {
            if (tool->toolButtonStyle() != Qt::ToolButtonIconOnly || tool->icon().isNull())
                add(window, place, tool->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            add(window, place, button->text());
        } else if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
            add(window, place, box->title());
        } else if (const auto* tabs = qobject_cast<const QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabVisible(i))
                    add(window, QStringLiteral("%1:tab %2").arg(place).arg(i), tabs->tabText(i));
        } else if (const auto* header = qobject_cast<const QHeaderView*>(w)) {
            readHeader(header, place);
        } else if (const auto* view = qobject_cast<const QAbstractItemView*>(w)) {
            readCells(view, place);
        } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
            const QString list = QStringLiteral("list ") + place;
            for (int i = 0; i < combo->count(); ++i)
                add(list, QStringLiteral("%1:item %2").arg(place).arg(i), combo->itemText(i));
        } else if (const auto* field = qobject_cast<const QLineEdit*>(w)) {
            if (field->text().isEmpty())
                add(window, place + QStringLiteral(":placeholder"), field->placeholderText());
        } else if (const auto* bar = qobject_cast<const QMenuBar*>(w)) {
            const QList<QAction*> actions = bar->actions();
            for (qsizetype i = 0; i < actions.size(); ++i)
                if (actions[i]->isVisible())
                    add(window, QStringLiteral("%1:item %2").arg(place).arg(i), actions[i]->text());
        }
    }

    void readHeader(const QHeaderView* header, const QString& place) {
        const QAbstractItemModel* model = header->model();
        if (!model)
            return;
        for (int section = 0; section < header->count(); ++section)
            if (!header->isSectionHidden(section) && header->sectionSize(section) > 0)
                add(QStringLiteral("window"), QStringLiteral("%1:section %2").arg(place).arg(section),
                    model->headerData(section, header->orientation(), Qt::DisplayRole).toString());
    }

    void readCells(const QAbstractItemView* view, const QString& place) {
        const QAbstractItemModel* model = view->model();
        if (!model)
            return;
        const QModelIndex root = view->rootIndex();
        const int rows = std::min(model->rowCount(root), kCellRows);
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < model->columnCount(root); ++column)
                add(QStringLiteral("window"), QStringLiteral("%1:cell %2,%3").arg(place).arg(row).arg(column),
                    model->index(row, column, root).data(Qt::DisplayRole).toString());
    }

    void readMenu(const QMenu* menu) {
        const QString place = placeOf(menu, window_);
        const QString group = QStringLiteral("menu ") + place;
        const QList<QAction*> actions = menu->actions();
        for (qsizetype i = 0; i < actions.size(); ++i)
            if (actions[i]->isVisible() && !actions[i]->isSeparator())
                add(group, QStringLiteral("%1:item %2").arg(place).arg(i), actions[i]->text());
    }

    QWidget* window_;
    std::vector<ShownText> texts_;
};

} // namespace

std::vector<ShownText> shownTexts(QWidget* window) {
    if (!window)
        return {};
    return Reader(window).run();
}

std::vector<TextClash> textClashes(const std::vector<ShownText>& english,
                                   const std::vector<ShownText>& other) {
    QMap<QString, QString> englishAt; // group and place -> the English text
    for (const ShownText& shown : english)
        englishAt.insert(shown.group + QChar(0) + shown.place, shown.text);
    struct Reading {
        QMap<QString, QString> english; // the English reading -> its text as shown
        QStringList places;
        QString text;
    };
    QMap<QString, QMap<QString, Reading>> byGroup; // group -> reading in `other` -> what reads so
    for (const ShownText& shown : other) {
        const auto it = englishAt.constFind(shown.group + QChar(0) + shown.place);
        if (it == englishAt.cend())
            continue;
        Reading& same = byGroup[shown.group][reading(shown.text)];
        same.english.insert(reading(*it), *it);
        same.places << QStringLiteral("%1 = \"%2\"").arg(shown.place, *it);
        same.text = shown.text;
    }
    std::vector<TextClash> clashes;
    for (auto group = byGroup.cbegin(); group != byGroup.cend(); ++group)
        for (const Reading& same : group.value())
            if (same.english.size() > 1)
                clashes.push_back({group.key(), same.text, same.english.values(), same.places});
    return clashes;
}

void TextCheck::visit(const ShownScreen& shown) {
    const QString& name = shown.screen.name;
    if (shown.language == 0) {
        englishScreen_ = shown.widget ? name : QString();
        english_ = shownTexts(shown.widget);
        if (!shown.widget) {
            log_ << "FAILED " << name << ": nothing to read\n";
            ++faults_;
        }
        return;
    }
    if (englishScreen_ != name)
        return;
    const std::vector<ShownText> texts = shownTexts(shown.widget);
    for (const TextClash& clash : textClashes(english_, texts)) {
        ++faults_;
        log_ << "SAME " << name << " [" << shown.folder << "] " << clash.group << ": \"" << clash.text
             << "\" for \"" << clash.english.join(QStringLiteral("\", \"")) << "\" ("
             << clash.places.join(QStringLiteral(", ")) << ")\n";
    }
    log_ << "read " << name << " [" << shown.folder << "]: " << texts.size() << " texts\n";
    log_.flush();
}

} // namespace tc::gui
