#include "gui/screens/screen_layouts.h"

#include "gui/app/gui_context.h"
#include "gui/screens/screen_registry.h"
#include "model/text/language_string.h"

#include <QPointer>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <set>

namespace tc::gui {

const std::vector<LayoutAllowance>& layoutAllowances() {
    // Faults let through for now, each with its reason, as
    //     {"screen", "part of the control's path", LayoutFault::Kind::TextCut, "why"[, "folder"]},
    // An entry goes once its fault is mended. A screen name ending in "*" stands for every screen
    // starting so; a folder limits the entry to that language.
    static const std::vector<LayoutAllowance> allowed{};
    return allowed;
}

namespace {

bool appliesIn(const LayoutAllowance& entry, const QString& folder) {
    return !entry.language || folder == QLatin1String(entry.language);
}

const LayoutAllowance* allowanceFor(const QString& screen, const QString& folder, const LayoutFault& fault,
                                    std::set<const LayoutAllowance*>& used) {
    for (const LayoutAllowance& entry : layoutAllowances()) {
        const QString name = QString::fromLatin1(entry.screen);
        const bool screenMatches =
            name.endsWith(QLatin1Char('*')) ? screen.startsWith(name.chopped(1)) : screen == name;
        if (screenMatches && appliesIn(entry, folder) && entry.kind == fault.kind &&
            fault.widget.contains(QLatin1String(entry.widget))) {
            used.insert(&entry);
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

void LayoutCheck::visit(const ShownScreen& shown) {
    const QString& name = shown.screen.name;
    QPointer<QWidget> widget = shown.widget;
    if (!widget) {
        log_ << "FAILED " << name << " [" << shown.folder << "]: nothing to lay out\n";
        ++faults_;
        return;
    }
    const QSize firstRun = widget->size();
    const QSize smallest = smallestSize(widget);
    for (const auto& [size, label] : {std::pair{firstRun, "first-run"}, std::pair{smallest, "smallest"}}) {
        if (!widget)
            break;
        if (widget->size() != size) {
            widget->resize(size);
            settleLayout();
        }
        for (const LayoutFault& fault : layoutFaults(widget)) {
            const LayoutAllowance* allowed = allowanceFor(name, shown.folder, fault, used_);
            if (!allowed)
                ++faults_;
            log_ << (allowed ? "allowed " : "FAULT ") << name << " [" << shown.folder << ", " << label << ' '
                 << widget->width() << 'x' << widget->height() << "] " << kindName(fault.kind) << ": "
                 << fault.widget << ": " << fault.detail;
            if (allowed)
                log_ << " (" << allowed->why << ')';
            log_ << '\n';
        }
        if (size == smallest && smallest == firstRun)
            break;
    }
    log_ << "checked " << name << " [" << shown.folder << "] at " << firstRun.width() << 'x'
         << firstRun.height() << " and " << smallest.width() << 'x' << smallest.height() << " in "
         << shown.clock.elapsed() << " ms\n";
    log_.flush();
}

int LayoutCheck::finish(const ScreenWalk& walk) {
    // An allowance nothing needed any more is named, so that it can go (all screens checked, in its
    // language, only).
    QStringList folders;
    for (const std::int64_t language : walk.languages)
        folders << QString::fromLatin1(LanguageString::folderForLanguage(language));
    if (walk.only.isEmpty())
        for (const LayoutAllowance& entry : layoutAllowances())
            if (!used_.contains(&entry) &&
                std::any_of(folders.begin(), folders.end(),
                            [&entry](const QString& folder) { return appliesIn(entry, folder); }))
                log_ << "unused allowance " << entry.screen << ": " << entry.widget << " (" << entry.why
                     << ")\n";
    log_.flush();
    return faults_;
}

} // namespace tc::gui
