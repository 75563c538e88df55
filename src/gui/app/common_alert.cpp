#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/texts.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace tc::gui {
namespace {

constexpr char kTopicProperty[] = "alertTopic";
constexpr int kMinimumTextWidth = 320;

QString topicOf(const AlertSpec& spec) {
    return spec.topic.isEmpty() ? spec.title + QLatin1Char('\n') + spec.message : spec.topic;
}

QMessageBox::Icon iconOf(int style) {
    switch (style) {
    case AlertSpec::Warning:
        return QMessageBox::Warning;
    case AlertSpec::Critical:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}

// A label sets plain text at the side its first letters read from: a title that starts with the
// program's name stood at the left of a right-to-left alert, its icon at the right.
void alignTexts(QMessageBox* box) {
    const Qt::Alignment side = (box->isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute;
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
        if (auto* label = box->findChild<QLabel*>(QLatin1String(name)))
            label->setAlignment(side | (label->alignment() & Qt::AlignVertical_Mask));
}

class TextSide : public QObject {
public:
    explicit TextSide(QMessageBox* box) : QObject(box) { box->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::LayoutDirectionChange)
            alignTexts(static_cast<QMessageBox*>(watched));
        return false;
    }
};

} // namespace

void CommonAlert::keepTextsAtReadingSide(QMessageBox* box) {
    alignTexts(box);
    new TextSide(box);
}

QMessageBox* CommonAlert::showing(QWidget* parent, const QString& topic) {
    QList<QMessageBox*> boxes;
    if (parent) {
        boxes = parent->findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly);
    } else {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && !box->parentWidget())
                boxes << box;
    }
    for (QMessageBox* box : boxes)
        if (box->isVisible() && box->property(kTopicProperty).toString() == topic)
            return box;
    return nullptr;
}

QMessageBox* CommonAlert::open(QWidget* parent, const AlertSpec& spec, std::function<void(int)> done) {
    const QString topic = topicOf(spec);
    if (QMessageBox* box = showing(parent, topic)) {
        box->raise();
        return box;
    }
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setProperty(kTopicProperty, topic);
    box->setIcon(iconOf(spec.style));
    box->setTextFormat(Qt::PlainText);
    box->setText(spec.title);
    box->setInformativeText(spec.message);
    // Wide enough that a sentence or two do not wrap into a narrow column; a width on the label
    // itself survives the box rebuilding its layout when the style changes.
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        informative->setMinimumWidth(kMinimumTextWidth);
    }
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    box->setWindowTitle(QApplication::applicationDisplayName());
    keepTextsAtReadingSide(box);

    QList<QAbstractButton*> buttons;
    if (spec.buttons.isEmpty()) {
        buttons << box->addButton(QMessageBox::Ok);
    } else {
        for (int i = 0; i < spec.buttons.size(); ++i)
            buttons << box->addButton(spec.buttons[i],
                                      i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box->setEscapeButton(spec.escapeButton >= 0 && spec.escapeButton < buttons.size()
                             ? buttons[spec.escapeButton]
                             : buttons.back());

    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done = std::move(done)](int) {
        if (done)
            done(static_cast<int>(buttons.indexOf(box->clickedButton())));
    });
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
    return box;
}

QMessageBox* CommonAlert::askSendAgain(QWidget* parent, const GuiContext& context, const QString& title,
                                       const QString& question, const QString& topic,
                                       std::function<void()> send) {
    return open(parent,
                {title,
                 question,
                 AlertSpec::Warning,
                 {context.text(texts::kCancel), context.text(texts::kSendRequestAgain)},
                 topic,
                 0},
                [send = std::move(send)](int button) {
                    if (button == 1 && send)
                        send();
                });
}

} // namespace tc::gui
