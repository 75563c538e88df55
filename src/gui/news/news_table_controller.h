#pragma once
// The news view of the main window's news tab: a category chooser over the sixteen categories of the
// feed and a table of the chosen category's items (title and publication date as the feed writes
// them). The feed is read when the view is first shown, then at every category change, and again once
// a new client's login completes; a new load cancels the one before it, so only the chosen category's
// items ever show. A load that fails (the server cannot be reached, a body past 8 MiB or not XML)
// shows why in the view instead of the list.
// A double click, or Return, on an item opens its link in the browser when it is http or https;
// a link that does not open is said in an alert.
#include "gui/texts.h"
#include "interfaces/news.h"

#include <QAbstractTableModel>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QTableView;

namespace Ui {
class NewsTableController;
}

namespace tc::gui {

class GuiContext;
class Language;

// The items of one load; replaced whole by the next.
class NewsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Column keys: the title, the publication date.
    static constexpr std::array<std::string_view, 2> kColumns = {texts::kSubject, texts::kTimeColumn};

    explicit NewsTableModel(Language& language, QObject* parent = nullptr);

    void setItems(std::shared_ptr<const std::vector<interfaces::NewsItem>> items);
    const interfaces::NewsItem* item(int row) const;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Language& language_;
    std::shared_ptr<const std::vector<interfaces::NewsItem>> items_;
};

class NewsTableController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit NewsTableController(GuiContext& context, QWidget* parent = nullptr);
    ~NewsTableController() override;

    // Loads the category shown by the chooser.
    void PopUpItemSelected();
    // Loads a category and shows it in the chooser; false (nothing asked) for an unknown name.
    bool LoadNews(const QString& category);
    // Opens the link of the item at `row`; false, with an alert that says so, when it is not an http
    // or https address or the browser did not take it.
    bool openItem(int row);
    // The browser (tests replace it).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

    QComboBox* categoryPopUp() const;
    QTableView* newsTableView() const;
    QLabel* errorLabel() const;
    NewsTableModel* model() const { return model_; }
    // The category whose items (or error) show; empty before the first reply.
    const QString& shownCategory() const { return shown_; }

Q_SIGNALS:
    // A reply was shown: its items, or its error.
    void newsShown();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateLanguageStrings();
    void loaded(const interfaces::NewsLoad& load);
    void showError(const QString& detail);
    // The line above the list: "loading" while a request runs, else the last reply's error.
    void showStatus();
    void sayNotOpened(const std::string& link);

    std::unique_ptr<Ui::NewsTableController> ui_;
    GuiContext& context_;
    NewsTableModel* model_ = nullptr;
    std::function<bool(const QUrl&)> opener_;
    QString shown_;
    QString error_;
    bool loading_ = false;
    bool started_ = false;
    // The client (ClientModel::generation) that last took a load.
    std::uint64_t loadedGeneration_ = 0;
};

} // namespace tc::gui
