#pragma once
// Keeps every one-line text label at least one line of its own font tall. A label takes its height
// from the font that draws its text; for a script its font lacks, that is a fallback whose line may
// be shorter than its own font's and whose marks reach past that line (DejaVu Sans's Arabic
// letters), so they were cut. Labels sized on purpose below a line (images) are left alone.
#include <QObject>

class QLabel;

namespace tc::gui {

class LabelLineHeight : public QObject {
    Q_OBJECT
public:
    // Watches every widget of the application while it lives.
    explicit LabelLineHeight(QObject* parent = nullptr);
    ~LabelLineHeight() override;

    static void fit(QLabel* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tc::gui
