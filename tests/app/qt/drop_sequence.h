// A drag of local paths from a file manager, replayed as the window system
// delivers it.
#pragma once
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QtTest>

namespace kirvo::test {

// Drags the paths over the middle of `widget` and drops them there: the drop
// events go to the widget under that point that takes drops (as Qt picks
// it), first DragEnter and DragMove, then Drop unless the enter or the move
// was refused, as the file manager then never drops. The window must be
// shown. Returns whether the drop was taken.
inline bool DropPaths(QWidget* widget, const QStringList& paths) {
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, widget->rect().center());
    QWidget* target = window->childAt(at);
    if (!target) target = window;
    while (!target->isWindow() && !target->acceptDrops()) target = target->parentWidget();
    if (!target->acceptDrops()) return false;
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint local = target->mapFrom(window, at);
    QDragEnterEvent enter(local, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(local, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    if (!move.isAccepted()) return false;
    QDropEvent drop(local, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

}  // namespace kirvo::test
