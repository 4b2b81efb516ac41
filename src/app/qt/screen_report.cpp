#include "app/qt/screen_report.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>

#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "view/qt/kirvo_view.h"
#include "view/result_rows.h"

namespace kirvo {

void ScreenReport::StartIfAsked(CMainFrame& frame) {
    const QString file = qEnvironmentVariable(kVariable);
    if (!file.isEmpty()) new ScreenReport(frame, file);
}

ScreenReport::ScreenReport(CMainFrame& frame, QString file)
    : QObject(&frame), frame_(frame), file_(std::move(file)), pending_(new QTimer(this)) {
    // One write after a burst of changes, once the event loop is back.
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, &ScreenReport::Write);
    CKirvoView* view = frame.view();
    connect(view, &CKirvoView::commandStateChanged, pending_, qOverload<>(&QTimer::start));
    connect(view->header(), &QHeaderView::sectionResized, pending_, qOverload<>(&QTimer::start));
    connect(&frame, &CMainFrame::messageShown, pending_, qOverload<>(&QTimer::start));
    view->viewport()->installEventFilter(this);  // where the list lies
    if (view->model())
        connect(view->model(), &QAbstractItemModel::dataChanged, pending_, qOverload<>(&QTimer::start));
    pending_->start();
}

QString ScreenReport::Text() const {
    QString text;
    const PathBar* bar = frame_.pathBar();
    for (const auto side : {PathBar::Side::Source, PathBar::Side::Target}) {
        const QComboBox* field = bar->comboBox(side);
        const QRect in(field->mapTo(&frame_, QPoint(0, 0)), field->size());
        text += QStringLiteral("%1 %2 %3 %4 %5\n")
                    .arg(side == PathBar::Side::Source ? "quelle" : "ziel")
                    .arg(in.x())
                    .arg(in.y())
                    .arg(in.width())
                    .arg(in.height());
    }
    const CKirvoView* view = frame_.view();
    const QAbstractItemModel* model = view->model();
    const int rows = model ? model->rowCount() : 0;
    text += QStringLiteral("zeilen %1\n").arg(rows);
    int cut = 0;
    for (int row = 0; row < rows; ++row) {
        text += QStringLiteral("zeile");
        for (int column = 0; column < model->columnCount(); ++column) {
            bool shortened = false;
            text += u'\t' + view->shownText(model->index(row, column), &shortened);
            cut += shortened ? 1 : 0;
        }
        text += u'\n';
    }
    text += QStringLiteral("gekürzt %1\n").arg(cut);

    const QWidget* list = view->viewport();
    const QRect in(list->mapTo(&frame_, QPoint(0, 0)), list->size());
    text += QStringLiteral("liste %1 %2 %3 %4\n").arg(in.x()).arg(in.y()).arg(in.width()).arg(in.height());
    text += QStringLiteral("zeilenhöhe %1\n").arg(view->shownRowHeight());
    QStringList ticked;
    const ResultRows& rowsShown = view->rows();
    for (size_t row = 0; view->ShowsResult() && row < rowsShown.size(); ++row) {
        if (rowsShown.IsMarked(row)) ticked << QString::number(row);
    }
    text += QStringLiteral("markiert %1\n").arg(ticked.isEmpty() ? QStringLiteral("-") : ticked.join(u','));
    text += QStringLiteral("status %1\n").arg(frame_.messagePane()->text());
    return text;
}

bool ScreenReport::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) pending_->start();
    return QObject::eventFilter(watched, event);
}

void ScreenReport::Write() const {
    QSaveFile file(file_);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(Text().toUtf8());
    file.commit();
}

}  // namespace kirvo
