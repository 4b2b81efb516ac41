#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <vector>

namespace kirvo::test {

// Answers the message boxes that come up, in order, and records what they showed.
// An action is a button text, or "<Esc>" / "<Enter>" pressed on the box. A box
// with no action left is answered "<Esc>" and counted as unexpected.
class DialogAnswerer {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;  // sorted
        QString defaultButton;
    };

    explicit DialogAnswerer(QStringList actions = {}) : actions_(actions.begin(), actions.end()) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    void add(const QString& action) { actions_.push_back(action); }

    std::vector<Seen> seen;
    int unexpected = 0;

private:
    static QString Label(const QAbstractButton* button) { return QString(button->text()).remove(u'&'); }

    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || answered_.contains(box)) return;
        answered_.push_back(box);
        Seen s;
        s.title = box->windowTitle();
        s.text = box->text();
        s.icon = box->icon();
        // Buttons by their labels as read, without the mnemonics' '&'.
        for (QAbstractButton* b : box->buttons()) s.buttons << Label(b);
        s.buttons.sort();
        if (box->defaultButton()) s.defaultButton = Label(box->defaultButton());
        seen.push_back(s);
        QString action = QStringLiteral("<Esc>");
        if (actions_.empty()) {
            ++unexpected;
        } else {
            action = actions_.front();
            actions_.pop_front();
        }
        QMetaObject::invokeMethod(
            box,
            [box, action] {
                if (action == QLatin1String("<Esc>")) {
                    QTest::keyClick(box, Qt::Key_Escape);
                } else if (action == QLatin1String("<Enter>")) {
                    QTest::keyClick(box, Qt::Key_Return);
                } else {
                    for (QAbstractButton* b : box->buttons()) {
                        if (Label(b) == action) {
                            b->click();
                            return;
                        }
                    }
                    QFAIL(qPrintable("no button " + action));
                }
            },
            Qt::QueuedConnection);
    }

    std::deque<QString> actions_;
    QList<QPointer<QMessageBox>> answered_;  // a later box may get a freed one's address
    QTimer timer_;
};

}  // namespace kirvo::test
