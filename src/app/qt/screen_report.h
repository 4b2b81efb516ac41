#pragma once
#include <QObject>
#include <QString>

class QTimer;

namespace kirvo {

class CMainFrame;

// For tests that drive the real program under a window system: when the
// environment variable KIRVO_TEST_REPORT names a file, the program writes
// there what the window shows: where the two path fields lie in the window,
// every row of the list as drawn (cut cells with their "..."), where the
// list's rows are drawn and how high a row is, which rows are ticked, and
// the status bar's text. Rewritten (whole, by renaming) whenever one of
// these changes.
class ScreenReport : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kVariable = "KIRVO_TEST_REPORT";
    // Starts reporting on frame when the variable is set; otherwise nothing.
    static void StartIfAsked(CMainFrame& frame);

    ScreenReport(CMainFrame& frame, QString file);
    // The report as text: "quelle X Y W H", "ziel X Y W H", "zeilen N", then
    // per row "zeile" and the nine cells as shown, all tab-separated,
    // "gekürzt N" with the number of cells shown cut, "liste X Y W H" (the
    // list's rows area in window coordinates), "zeilenhöhe N", "markiert"
    // with the indexes of the ticked rows ("1,2,5", counted from 0 as the
    // "zeile" lines) or "-", and "status" with the status bar's text.
    QString Text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Write() const;

    CMainFrame& frame_;
    QString file_;
    QTimer* pending_ = nullptr;
};

}  // namespace kirvo
