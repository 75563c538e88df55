#pragma once
// The watch-list chooser, a sheet on the main window: the instrument types in an outline, the
// instruments of the selected type (or of a search across every type) with a mark on those on the
// watch list, and the add, remove and close buttons; a double click toggles a row. Every change is
// saved at once through the session's command and announced (WatchListSaved), so the boards follow.
// The type last selected stays between showings; the search does not.
#include "gui/app/sheet_controller.h"
#include "gui/market/symbol_chooser.h"
#include "gui/models/record_table_model.h"

#include <QIcon>

#include <memory>
#include <optional>

namespace Ui {
class AddRemoveWindowController;
}

class QTableView;
class QTreeWidget;
class QLineEdit;

namespace tc::gui {

class GuiContext;

class AddRemoveWindowController : public SheetController {
    Q_OBJECT
public:
    explicit AddRemoveWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~AddRemoveWindowController() override;

    void onWindowLoad() override;
    // The add button (100), the remove button (200), anything else toggles: the selected rows.
    void ShowAndHideSymbolsInWatchlist(int tag);
    void SearchSymbols(const QString& text);
    void SelectType(int index);

    QTreeWidget* Outline() const;
    QTableView* Table() const;
    QLineEdit* SearchField() const;
    const SymbolChooser* Chooser() const { return chooser_ ? &*chooser_ : nullptr; }

Q_SIGNALS:
    void WatchListSaved();

private:
    void LoadTypes();
    void ReloadTable();
    void SaveAddRemoveItems();

    // One instrument of the list: its code, its name, and whether the watch list has it.
    struct Line {
        std::string code;
        std::string name;
        bool member = false;
    };

    std::unique_ptr<Ui::AddRemoveWindowController> ui_;
    GuiContext& context_;
    std::optional<SymbolChooser> chooser_;
    RecordTableModel<Line>* lines_ = nullptr;
    QIcon marks_[2];               // not watched, watched
    std::uint64_t generation_ = 0; // of the client the chooser was made over
};

} // namespace tc::gui
