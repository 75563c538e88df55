#pragma once
// The About window: the program's name, version, disclaimer and copyright. Made once by the window
// holder, hidden and shown again.
#include <QDialog>

#include <memory>

namespace Ui {
class AboutWindowController;
}

namespace tc::gui {

class GuiContext;
class Language;

class AboutWindowController : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~AboutWindowController() override;

    // Title and texts, read afresh.
    void windowDidAppear();

private:
    void loadData();

    std::unique_ptr<Ui::AboutWindowController> ui_;
    Language& language_;
};

} // namespace tc::gui
