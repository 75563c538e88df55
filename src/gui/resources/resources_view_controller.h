#pragma once
// The resources panel, a popup under the main window's Resources button: the login's resource list
// (see resource_list.h), each caption beside the browser image; a click, or Return, opens the entry's
// address in the browser. The first showing asks for the files each listed entry names (by its icon
// id) that are not downloaded yet; every showing reads the list afresh and clears the selection.
#include "gui/resources/resource_list.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QListWidget;

namespace Ui {
class ResourcesViewController;
}

namespace tc::gui {

class GuiContext;

class ResourcesViewController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit ResourcesViewController(GuiContext& context, QWidget* parent = nullptr);
    ~ResourcesViewController() override;

    // Shows the panel as a popup under `anchor` (or where it is, without one).
    void showBelow(QWidget* anchor);
    // Reads the list again.
    void reloadRows();
    // Opens the address of the entry at `row`; false when it has none or the browser did not take it.
    bool openResourceURL(int row);
    // The browser (tests replace it).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

    QListWidget* resourcesTableView() const;
    const std::vector<ResourceRow>& rows() const { return rows_; }
    // Downloads asked for by the first showing.
    std::size_t downloadsAsked() const { return downloadsAsked_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateLanguageStrings();
    void sayNotOpened(const std::string& what);

    std::unique_ptr<Ui::ResourcesViewController> ui_;
    GuiContext& context_;
    std::vector<ResourceRow> rows_;
    std::function<bool(const QUrl&)> opener_;
    bool loaded_ = false;
    std::size_t downloadsAsked_ = 0;
};

} // namespace tc::gui
