#include "fileops/qt/qt_file_operation_service.h"

namespace kirvo {
namespace {

class RequestScope {
public:
    RequestScope(QtFileOperationUi& ui, QtFileOperationUi::Request request) : ui_(ui) { ui_.beginRequest(request); }
    ~RequestScope() { ui_.endRequest(); }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    QtFileOperationUi& ui_;
};

}  // namespace

OperationResult QtFileOperationService::copy(std::span<const CopyPair> pairs, const CopyFlags& flags) {
    RequestScope scope(ui_, QtFileOperationUi::Request::Copy);
    return service_.copy(pairs, flags);
}

OperationResult QtFileOperationService::remove(std::span<const ListedPath> files, const DeleteFlags& flags) {
    RequestScope scope(ui_, QtFileOperationUi::Request::Delete);
    return service_.remove(files, flags);
}

OperationResult QtFileOperationService::move(std::span<const MovePair> moves) {
    RequestScope scope(ui_, QtFileOperationUi::Request::Move);
    return service_.move(moves);
}

OperationResult QtFileOperationService::removeEmptyFolders(std::span<const RootedPath> folders) {
    RequestScope scope(ui_, QtFileOperationUi::Request::Delete);
    return service_.removeEmptyFolders(folders);
}

}  // namespace kirvo
