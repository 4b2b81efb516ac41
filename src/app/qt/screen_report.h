#pragma once
#include <QObject>
#include <QString>

class QTimer;

namespace kirvo {

class CMainFrame;

// For tests that drive the real program under a window system: when the
// environment variable KIRVO_TEST_REPORT names a file, the program writes
// there what the window shows: where the two path fields lie in the window
// and every row of the list as drawn, cut cells with their "...". Rewritten
// (whole, by renaming) whenever the list or its columns change.
class ScreenReport : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kVariable = "KIRVO_TEST_REPORT";
    // Starts reporting on frame when the variable is set; otherwise nothing.
    static void StartIfAsked(CMainFrame& frame);

    ScreenReport(CMainFrame& frame, QString file);
    // The report as text: "quelle X Y W H", "ziel X Y W H", "zeilen N", then
    // per row "zeile" and the nine cells as shown, all tab-separated, and
    // "gekürzt N" with the number of cells shown cut.
    QString Text() const;

private:
    void Write() const;

    CMainFrame& frame_;
    QString file_;
    QTimer* pending_ = nullptr;
};

}  // namespace kirvo
