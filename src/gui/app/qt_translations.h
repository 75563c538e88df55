#pragma once
// The texts Qt draws itself in the selected language: Qt's own translation where one is installed
// (qtbase_*.qm, Debian's qt6-translations-l10n) for its words (a field's context menu, the file
// dialog), and the standard buttons of message boxes and button boxes (OK, Cancel, Yes, No, ...) from
// our text tables in all twelve languages, as our own windows name the same buttons.
#include <QTranslator>

#include <cstdint>
#include <memory>

namespace tc::gui {

// Qt's standard-button texts from our tables, in one language; every other text is left to Qt.
// A text our tables lack (the rarer buttons) is left to Qt as well.
class StandardButtonTranslator : public QTranslator {
    Q_OBJECT
public:
    explicit StandardButtonTranslator(std::int64_t language, QObject* parent = nullptr);

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }

private:
    std::int64_t language_;
};

// The translators of the language in force, installed in the application while this lives.
class QtTranslations {
public:
    QtTranslations();
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // Replaces the installed translators by those of `language`; English needs none. Without an
    // application object nothing is installed.
    void select(std::int64_t language);
    // Whether Qt's own translation of the language is loaded.
    bool hasQtTranslation() const { return qt_ != nullptr; }

private:
    std::unique_ptr<StandardButtonTranslator> ours_;
    std::unique_ptr<QTranslator> qt_;
};

} // namespace tc::gui
