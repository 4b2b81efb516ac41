#include "platform/directory_lister.h"

#include <condition_variable>
#include <mutex>

namespace kirvo {

ListingStatus ListAndWait(DirectoryLister& lister, const DirectoryLister::Request& request,
                 const std::function<void(const DirectoryRecord&)>& visit) {
    struct Waiter : ListingReceiver {
        const std::function<void(const DirectoryRecord&)>& visit;
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        ListingStatus status;

        explicit Waiter(const std::function<void(const DirectoryRecord&)>& v) : visit(v) {}
        void Record(const DirectoryRecord& record) override { visit(record); }
        void Finished(ListingStatus ended, std::unique_ptr<OpenFolder>) override {
            const std::lock_guard lock(mutex);
            status = std::move(ended);
            finished = true;
            done.notify_all();
        }
    } waiter(visit);
    lister.Start(request, waiter);
    std::unique_lock lock(waiter.mutex);
    waiter.done.wait(lock, [&] { return waiter.finished; });
    return std::move(waiter.status);
}

}  // namespace kirvo
