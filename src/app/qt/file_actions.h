#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "view/qt/kirvo_view.h"

class QTemporaryDir;
class QWidget;

namespace kirvo {

class AppOptions;
class RootAccess;
class UserPrompts;

// What the list's context menu, Enter and a double-click do with one file or
// folder: show the differences of two files (the program set under
// "[Optionen] Dateivergleich", else the first of the usual ones in PATH,
// else the built-in view), open it with the desktop's program, show it in
// the file manager, copy its path. A file on another machine is fetched to
// a temporary folder first, which is kept until the program ends. A file of
// a snapshot has no content: showing or opening it rests, with a message.
class FileActions : public QObject {
    Q_OBJECT
public:
    // Tried in this order when no program is set.
    static const QStringList& UsualDiffPrograms();

    // options must outlive this object; parent hosts the dialogs, which close with it.
    FileActions(const AppOptions& options, QWidget* parent);
    ~FileActions() override;

    // Warnings go here; must be set, and outlive its use.
    void setUserPrompts(UserPrompts* prompts) { prompts_ = prompts; }
    // How roots on other machines are reached; the local file system's until set.
    void setRootAccess(RootAccess* roots);

    // "Dateien vergleichen" on a row with a file on both sides.
    void CompareFiles(const CKirvoView::PointedItem& item);
    // "Öffnen": the file (or folder) with the desktop's program.
    void Open(const CKirvoView::PointedItem& item);
    // "Im Dateimanager zeigen": the file manager's ShowItems over D-Bus where
    // one offers it, else the folder opened.
    void ShowInFileManager(const CKirvoView::PointedItem& item);
    // "Pfad kopieren": the full path as text.
    void CopyPath(const CKirvoView::PointedItem& item);

    // The program that shows the differences, or "" for the built-in view;
    // a set program that cannot be found is reported and "" returned.
    QString DiffProgram();

private:
    // The file as a local path: itself, or a copy fetched into `into`; ""
    // (after telling the user) when it cannot be had.
    QString LocalFile(const std::string& root, const std::string& path, QTemporaryDir* into, const QString& sub);
    std::unique_ptr<QTemporaryDir> NewTemporaryDir();
    bool InSnapshot(const std::string& root);

    const AppOptions& options_;
    RootAccess* roots_;
    QPointer<QWidget> parent_;
    UserPrompts* prompts_ = nullptr;
    // Copies of files from other machines handed to other programs.
    std::vector<std::unique_ptr<QTemporaryDir>> fetched_;
};

}  // namespace kirvo
