#pragma once
#include <QString>
#include <QToolBar>
#include <functional>

#include "view/command_id.h"
#include "app/path_history.h"

class QAction;
class QComboBox;
class QContextMenuEvent;
class QToolButton;

namespace kirvo {

class ProfileStore;

// The bar with the source (1001) and target (1002) path fields and their
// "..." buttons (1003, 1004); each button's menu also offers "Schnappschuss
// öffnen …", which puts "snapshot:FILE" into its field. Each field is an editable, unsorted drop-down
// whose list is the field's PathHistory; its edit part holds the path the
// next comparison uses. A path the program sets (history, chooser, drop,
// command line) is taken whole; typing and pasting stop where the path would
// no longer fit the system (kMaxPathBytes in its encoding).
class PathBar : public QToolBar {
    Q_OBJECT
public:
    enum class Side { Source, Target };

    // Shows a folder chooser with a title, opened at a start folder; returns
    // the chosen folder, or an empty string when the user cancels.
    using FolderChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& startFolder)>;

    explicit PathBar(QWidget* parent = nullptr);

    // Fills both lists from the store and presets each field with its most
    // recent path.
    void LoadHistories(ProfileStore& store);
    // Moves each field's text to the top of its list, source first.
    void UpdateHistories();
    // Moves text to the top of one field's list (the comparison does so for
    // each path that was there); the field keeps what it shows.
    void UpdateHistory(Side side, const QString& text);
    // Writes both lists, source first.
    void SaveHistories(ProfileStore& store) const;

    // Lets the user pick a folder for one field (commands 1003 and 1004);
    // the chosen folder goes into the field, not into the list.
    void BrowseForPath(Side side);
    void setFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
    static QString ChooseFolderWithDialog(QWidget* parent, const QString& title,
                                          const QString& startFolder);
    // "Schnappschuss öffnen …": a snapshot file (*.kirvo-snapshot) for one
    // field, which then holds "snapshot:" and the file's path.
    void OpenSnapshot(Side side);
    // Shows a file chooser for snapshots, as FolderChooser does for folders.
    void setSnapshotChooser(FolderChooser chooser) { snapshotChooser_ = std::move(chooser); }
    static QString ChooseSnapshotWithDialog(QWidget* parent, const QString& title, const QString& start);

    QString text(Side side) const;
    void setText(Side side, const QString& text);
    // "Quelle und Ziel tauschen": the two fields' texts change places; the
    // histories stay as they are.
    void SwapPaths();
    // Actions the bar's context menu offers, and the fields' menus after
    // their own items.
    void setContextActions(QList<QAction*> actions) { contextActions_ = std::move(actions); }
    QComboBox* comboBox(Side side) const;
    QToolButton* browseButton(Side side) const;
    const PathHistory& history(Side side) const;

signals:
    // A "..." button was pressed (1003 or 1004), or Return in a path field
    // (32775 "Pfade vergleichen"): routed like the menu command.
    void commandRequested(kirvo::CommandId id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Field {
        QComboBox* combo = nullptr;
        QToolButton* button = nullptr;
        PathHistory history;
    };
    Field& field(Side side) { return side == Side::Source ? source_ : target_; }
    const Field& field(Side side) const { return side == Side::Source ? source_ : target_; }
    void ShowHistory(Field& field);

    Field source_{nullptr, nullptr, PathHistory("Quelle")};
    Field target_{nullptr, nullptr, PathHistory("Ziel")};
    FolderChooser chooser_;
    FolderChooser snapshotChooser_;
    QList<QAction*> contextActions_;
};

}  // namespace kirvo
