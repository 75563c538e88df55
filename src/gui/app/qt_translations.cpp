#include "gui/app/qt_translations.h"

#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <cstring>
#include <string_view>

namespace tc::gui {
namespace {

struct ButtonText {
    std::string_view source; // Qt's English, without its mnemonic mark
    std::string_view key;
};
constexpr ButtonText kButtonTexts[] = {
    {"OK", texts::kOK},           {"Cancel", texts::kCancel},     {"Yes", texts::kYes},
    {"No", texts::kNo},           {"Close", texts::kCloseButton}, {"Apply", texts::kApply},
    {"Reset", texts::kReset},     {"Save", texts::kSave},         {"Discard", texts::kDiscard},
    {"Open", texts::kOpenButton}, {"Help", texts::kHelp},         {"Abort", texts::kAbort},
    {"Retry", texts::kRetry},     {"Ignore", texts::kIgnore},
};

// The platform themes name the standard buttons: the generic one, and GNOME's with mnemonics.
bool isButtonContext(const char* context) {
    return context &&
           (std::strcmp(context, "QPlatformTheme") == 0 || std::strcmp(context, "QGnomeTheme") == 0);
}

} // namespace

StandardButtonTranslator::StandardButtonTranslator(std::int64_t language, QObject* parent)
    : QTranslator(parent), language_(language) {}

QString StandardButtonTranslator::translate(const char* context, const char* sourceText, const char*,
                                            int) const {
    if (!isButtonContext(context) || !sourceText)
        return {};
    QString source = QString::fromUtf8(sourceText);
    source.remove(QLatin1Char('&'));
    for (const ButtonText& button : kButtonTexts)
        if (source == QLatin1String(button.source.data(), static_cast<qsizetype>(button.source.size())))
            return lookupText(language_, button.key);
    return {};
}

QtTranslations::QtTranslations() = default;

QtTranslations::~QtTranslations() = default; // a translator removes itself as it goes

void QtTranslations::select(std::int64_t language) {
    qt_.reset();
    ours_.reset();
    if (!QCoreApplication::instance() || language == 0 || !isLanguage(language))
        return;
    auto qt = std::make_unique<QTranslator>();
    const std::string_view name = kLanguageLocales[static_cast<std::size_t>(language)];
    const QLocale locale(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        qt_ = std::move(qt);
    }
    // Ours last, so asked first: a standard button reads as the same button of our own windows
    // (Qt's Russian keeps a Latin "OK" where ours says "ОК").
    ours_ = std::make_unique<StandardButtonTranslator>(language);
    QCoreApplication::installTranslator(ours_.get());
}

} // namespace tc::gui
