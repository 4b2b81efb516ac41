#pragma once
#include <QDockWidget>
#include <QString>

class QLabel;
class QLineEdit;

namespace kirvo {

// The bar "Ausgabe": four read-only fields for the totals of both sides
// (1009 source, 1010 target) and the selection statistics (1011 source,
// 1012 target). It docks at the top or the bottom only; docked it has no
// title bar, only a grip to drag it by, floating its caption is "Ausgabe".
class OutputBar : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int kSourceTotals = 1009;
    static constexpr int kTargetTotals = 1010;
    static constexpr int kSourceSelection = 1011;
    static constexpr int kTargetSelection = 1012;

    explicit OutputBar(QWidget* parent = nullptr);

    // nullptr for an unknown id.
    QLineEdit* field(int id) const;
    QString fieldText(int id) const;
    // Sets the text; with repaintNow the field is drawn at once, for progress
    // shown while the event loop is busy.
    void setFieldText(int id, const QString& text, bool repaintNow = false);
    // What the last file operation did, in a line below the fields, with a
    // link to the log when something failed; hidden while text is empty.
    void showSummary(const QString& text, bool linkToLog);
    QString summary() const;
    // "Details im Protokoll" as a link, as the status bar shows it too.
    static QString LogLinkHtml();

signals:
    // The link to the log was followed.
    void logRequested();

private:
    void ShowTitleBar(bool floating);

    QLineEdit* fields_[4] = {};
    QLabel* summary_ = nullptr;
    QLabel* logLink_ = nullptr;
    QWidget* grip_ = nullptr;
};

}  // namespace kirvo
