#pragma once
#include <QApplication>
#include <QCursor>

namespace kirvo {

// Shows the wait cursor for its lifetime, also when the work in between
// ends by an exception. Nests: each guard removes only its own cursor.
class WaitCursor {
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) { QApplication::setOverrideCursor(QCursor(shape)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace kirvo
