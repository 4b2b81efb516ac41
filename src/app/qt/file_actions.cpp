#include "app/qt/file_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#ifdef KIRVO_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif

#include "app/app_options.h"
#include "app/user_prompts.h"
#include "fileops/fetch_file.h"
#include "platform/file_node.h"
#include "platform/root.h"
#include "platform/root_access.h"
#include "platform/snapshot/snapshot_backend.h"
#include "view/qt/file_diff_dialog.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString Decode(const std::string& path) { return QFile::decodeName(path.c_str()); }

// The folder a full path lies in, with its separator.
std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

}  // namespace

const QStringList& FileActions::UsualDiffPrograms() {
    static const QStringList programs{QStringLiteral("meld"), QStringLiteral("kdiff3"), QStringLiteral("kompare"),
                                      QStringLiteral("diffuse")};
    return programs;
}

FileActions::FileActions(const AppOptions& options, QWidget* parent)
    : options_(options), roots_(&RootAccess::Local()), parent_(parent) {}

void FileActions::setRootAccess(RootAccess* roots) { roots_ = roots ? roots : &RootAccess::Local(); }

FileActions::~FileActions() = default;

std::unique_ptr<QTemporaryDir> FileActions::NewTemporaryDir() {
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kirvo-vergleich-XXXXXX"));
    if (!dir->isValid()) {
        prompts_->ShowWarning(
            QTr("Kein temporärer Ordner für die Kopie: %1").arg(dir->errorString()).toStdString());
        return nullptr;
    }
    return dir;
}

QString FileActions::LocalFile(const std::string& root, const std::string& path, QTemporaryDir* into,
                               const QString& sub) {
    if (!roots_->remote(root) || !into) return Decode(path);
    const std::string relative = path.substr(root.size());
    const QString folder = into->filePath(sub);
    QDir().mkpath(folder);
    QProgressDialog progress(QTr("Hole „%1“ vom anderen Rechner …").arg(Decode(relative)),
                             QTr("Abbrechen"), 0, 1000, parent_);
    progress.setWindowTitle(QStringLiteral("Kirvo"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    std::string copied;
    const int error = FetchFile(*roots_, root, relative, QFile::encodeName(folder).toStdString(), copied,
                                [&progress](uint64_t done, uint64_t total) {
                                    progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
                                    QApplication::processEvents();
                                    return !progress.wasCanceled();
                                });
    if (error == ECANCELED) return {};
    if (error != 0) {
        prompts_->ShowWarning(QTr("„%1“ lässt sich nicht vom anderen Rechner holen: %2")
                                  .arg(Decode(path), Decode(SystemErrorText(error)))
                                  .toStdString());
        return {};
    }
    return Decode(copied);
}

QString FileActions::DiffProgram() {
    const QString set = QString::fromStdString(options_.diffProgram()).trimmed();
    if (set.isEmpty()) {
        for (const QString& usual : UsualDiffPrograms()) {
            const QString found = QStandardPaths::findExecutable(usual);
            if (!found.isEmpty()) return found;
        }
        return {};
    }
    const QFileInfo file(set);
    const QString found = set.contains(u'/') ? (file.isFile() && file.isExecutable() ? set : QString())
                                             : QStandardPaths::findExecutable(set);
    if (found.isEmpty()) {
        prompts_->ShowWarning(QTr("Das Vergleichsprogramm „%1“ ([Optionen] Dateivergleich) wurde nicht "
                                             "gefunden; Kirvo zeigt die Unterschiede selbst.")
                                  .arg(set)
                                  .toStdString());
    }
    return found;
}

// A file of a snapshot has no content to show: said once, and true.
bool FileActions::InSnapshot(const std::string& root) {
    if (!Root::NamesSnapshot(root)) return false;
    prompts_->ShowWarning(SnapshotRefusal(Root::SnapshotFileOf(root).insert(0, Root::kSnapshotPrefix)));
    return true;
}

void FileActions::CompareFiles(const CKirvoView::PointedItem& item) {
    if (!item.bothFiles() || InSnapshot(item.sourceRoot) || InSnapshot(item.targetRoot)) return;
    std::unique_ptr<QTemporaryDir> fetched;
    const bool remote = roots_->remote(item.sourceRoot) || roots_->remote(item.targetRoot);
    if (remote && !(fetched = NewTemporaryDir())) return;
    const QString left = LocalFile(item.sourceRoot, item.sourcePath, fetched.get(), QStringLiteral("quelle"));
    if (left.isEmpty()) return;
    const QString right = LocalFile(item.targetRoot, item.targetPath, fetched.get(), QStringLiteral("ziel"));
    if (right.isEmpty()) return;

    const QString program = DiffProgram();
    if (!program.isEmpty()) {
        if (QProcess::startDetached(program, {left, right})) {
            if (fetched) fetched_.push_back(std::move(fetched));  // the program reads them until it ends
            return;
        }
        prompts_->ShowWarning(QTr("„%1“ lässt sich nicht starten; Kirvo zeigt die Unterschiede selbst.")
                                  .arg(program)
                                  .toStdString());
    }
    std::shared_ptr<void> keep(fetched.release(), [](void* dir) { delete static_cast<QTemporaryDir*>(dir); });
    auto* dialog = new FileDiffDialog(left, right, Decode(item.sourcePath), Decode(item.targetPath), keep, parent_);
    dialog->show();
}

void FileActions::Open(const CKirvoView::PointedItem& item) {
    if (!item.valid() || InSnapshot(item.root())) return;
    if (item.folder && item.remote) {
        prompts_->ShowWarning(QTr("Der Ordner „%1“ liegt auf einem anderen Rechner und lässt sich hier "
                                             "nicht öffnen.")
                                  .arg(Decode(item.path()))
                                  .toStdString());
        return;
    }
    std::unique_ptr<QTemporaryDir> fetched;
    if (item.remote && !(fetched = NewTemporaryDir())) return;
    const QString local = item.remote ? LocalFile(item.root(), item.path(), fetched.get(), QStringLiteral("kopie"))
                                      : Decode(item.path());
    if (local.isEmpty()) return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(local))) {
        prompts_->ShowWarning(
            QTr("Für „%1“ ist kein Programm eingerichtet.").arg(Decode(item.path())).toStdString());
        return;
    }
    if (fetched) fetched_.push_back(std::move(fetched));
}

void FileActions::ShowInFileManager(const CKirvoView::PointedItem& item) {
    if (!item.valid() || item.remote) return;
    const QString path = Decode(item.path());
#ifdef KIRVO_HAVE_DBUS
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.call(call, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage) return;
#endif
    // No file manager answers: its folder, opened.
    const QString folder = item.folder ? path : Decode(FolderOf(item.path()));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        prompts_->ShowWarning(QTr("Für Ordner ist kein Dateimanager eingerichtet.").toStdString());
    }
}

void FileActions::CopyPath(const CKirvoView::PointedItem& item) {
    if (item.valid()) QApplication::clipboard()->setText(Decode(item.path()));
}

}  // namespace kirvo
