#pragma once
#include <QDialog>
#include <string>
#include <string_view>
#include <vector>

#include "engine/path_filter.h"

class QPlainTextEdit;

namespace kirvo {

// "Filter": the include and exclude patterns, one per line, with a short hint
// and examples. OK checks every pattern first: an invalid one is named in a
// message, its line is selected and the dialog stays open.
class FilterDialog : public QDialog {
    Q_OBJECT
public:
    explicit FilterDialog(const PathFilter& filter, QWidget* parent = nullptr);

    // The filter as accepted (the one given until OK succeeds).
    const PathFilter& filter() const { return filter_; }
    QPlainTextEdit* includeField() const { return include_; }
    QPlainTextEdit* excludeField() const { return exclude_; }

    static QString HintHtml();

public slots:
    void accept() override;

private:
    // The patterns of one field; false after showing the first invalid one.
    bool ReadField(QPlainTextEdit* field, std::string_view where, std::vector<std::string>& patterns);

    PathFilter filter_;
    QPlainTextEdit* include_;
    QPlainTextEdit* exclude_;
};

}  // namespace kirvo
