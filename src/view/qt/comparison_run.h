#pragma once
#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QTimer;

namespace kirvo {

// The long part of "Pfade vergleichen", off the user-interface thread: its
// phases run one after another on a worker thread (the scan, and any phase
// that follows it, such as reading contents), each showing its own progress
// on the user-interface thread every tenth of a second while it runs. Cancel
// stops the phase under way and skips the rest. finished() comes on the
// user-interface thread when the last phase is over; nothing here touches
// a widget from the worker thread.
class ComparisonRun : public QObject {
    Q_OBJECT
public:
    struct Phase {
        std::function<void()> work;          // on the worker thread
        std::function<void()> showProgress;  // on the user-interface thread, while work runs
        std::function<void()> cancel;        // from the user-interface thread: makes work end soon
    };

    explicit ComparisonRun(QObject* parent = nullptr);
    // Cancels what is running and waits for the worker.
    ~ComparisonRun() override;

    // Starts the phases; false when a run is already under way.
    bool Start(std::vector<Phase> phases);
    void Cancel();
    bool running() const { return worker_.joinable() || inline_; }
    bool cancelled() const { return cancelled_; }

    static constexpr int kProgressMilliseconds = 100;

signals:
    void finished(bool cancelled);

private:
    void ShowProgress();
    void Finish();

    std::vector<Phase> phases_;
    std::atomic<size_t> current_{0};
    std::mutex cancelMutex_;  // Cancel against the worker moving to the next phase
    bool cancelled_ = false;
    std::thread worker_;
    bool inline_ = false;  // the phases ran on the caller's thread; Finish is still to come
    QTimer* timer_ = nullptr;
};

}  // namespace kirvo
