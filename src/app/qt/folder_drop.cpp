#include "app/qt/folder_drop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace kirvo {

QStringList DroppedFolders(const QMimeData* data) {
    QStringList folders;
    if (data == nullptr || !data->hasUrls()) return folders;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir()) folders << QDir::toNativeSeparators(path);
    }
    return folders;
}

ListFolderDrop::ListFolderDrop(QWidget* dropArea, TwoFolders onDrop) : QObject(dropArea), onDrop_(std::move(onDrop)) {
    dropArea->setAcceptDrops(true);
    dropArea->installEventFilter(this);
}

bool ListFolderDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList folders = DroppedFolders(drop->mimeData());
    if (folders.size() != 2) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) onDrop_(folders[0], folders[1]);
    return true;
}

}  // namespace kirvo
