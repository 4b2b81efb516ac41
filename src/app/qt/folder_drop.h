#pragma once
#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace kirvo {

// The local folders a drag from a file manager carries, in the order given;
// anything that is not an existing local folder is left out.
QStringList DroppedFolders(const QMimeData* data);

// Lets the list take two folders dropped from a file manager: the first
// becomes the source, the second the target, and the comparison runs.
// Any other drop is refused, so the cursor shows that it would do nothing.
class ListFolderDrop : public QObject {
    Q_OBJECT
public:
    using TwoFolders = std::function<void(const QString& source, const QString& target)>;
    ListFolderDrop(QWidget* dropArea, TwoFolders onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TwoFolders onDrop_;
};

}  // namespace kirvo
