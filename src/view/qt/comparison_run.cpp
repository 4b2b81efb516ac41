#include "view/qt/comparison_run.h"

#include <QMetaObject>
#include <QTimer>
#include <system_error>

namespace kirvo {

ComparisonRun::ComparisonRun(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setInterval(kProgressMilliseconds);
    connect(timer_, &QTimer::timeout, this, &ComparisonRun::ShowProgress);
}

ComparisonRun::~ComparisonRun() {
    if (!running()) return;
    Cancel();
    if (worker_.joinable()) worker_.join();  // its queued Finish is dropped with this object
}

bool ComparisonRun::Start(std::vector<Phase> phases) {
    if (running()) return false;
    phases_ = std::move(phases);
    current_ = 0;
    cancelled_ = false;
    timer_->start();
    const auto work = [this] {
        for (size_t i = 0; i < phases_.size(); ++i) {
            {
                const std::lock_guard lock(cancelMutex_);
                if (cancelled_) break;
                current_ = i;
            }
            phases_[i].work();
        }
        QMetaObject::invokeMethod(this, &ComparisonRun::Finish, Qt::QueuedConnection);
    };
    try {
        worker_ = std::thread(work);
    } catch (const std::system_error&) {
        // No thread to be had (ulimit -u): the phases run here, the window waits for them.
        inline_ = true;
        work();
    }
    return true;
}

void ComparisonRun::Cancel() {
    if (!running()) return;
    const std::lock_guard lock(cancelMutex_);
    if (cancelled_) return;
    cancelled_ = true;
    const Phase& phase = phases_[current_];
    if (phase.cancel) phase.cancel();
}

void ComparisonRun::ShowProgress() {
    if (!running()) return;
    const Phase& phase = phases_[current_];
    if (phase.showProgress) phase.showProgress();
}

void ComparisonRun::Finish() {
    timer_->stop();
    if (worker_.joinable()) worker_.join();
    inline_ = false;
    const bool wasCancelled = cancelled_;
    phases_.clear();
    emit finished(wasCancelled);
}

}  // namespace kirvo
