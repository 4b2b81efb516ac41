#include "fileops/file_operation_service.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr std::string_view kNotOffered = TrNoop("Diese Dateioperation bietet dieser Dienst nicht an");

OperationResult NoneDone(size_t count, const auto& pathOf) {
    OperationResult result;
    for (size_t i = 0; i < count; ++i) result.files.push_back({pathOf(i), {}, FileOutcome::Failed, Tr(kNotOffered), {}});
    return result;
}

}  // namespace

OperationResult FileOperationService::move(std::span<const MovePair> moves) {
    return NoneDone(moves.size(), [&](size_t i) { return moves[i].from.path; });
}

OperationResult FileOperationService::removeEmptyFolders(std::span<const RootedPath> folders) {
    return NoneDone(folders.size(), [&](size_t i) { return folders[i].path; });
}

OperationResult FileOperationService::makeFolders(std::span<const RootedPath> folders) {
    return NoneDone(folders.size(), [&](size_t i) { return folders[i].path; });
}

}  // namespace kirvo
