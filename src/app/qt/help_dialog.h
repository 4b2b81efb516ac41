#pragma once
#include <QDialog>

namespace kirvo {

// "Hilfethemen": a short German guide to the list, the arrows, the marks and
// the options.
class HelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);
    static QString HelpHtml();
};

}  // namespace kirvo
