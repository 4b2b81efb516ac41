#include "fileops/file_attempt.h"

#include "fileops/file_operation_texts.h"
#include "platform/file_node.h"

namespace kirvo {

FileAttempt FileAttempt::Fail(std::string path, std::string_view what, int code) {
    if (code == kLinkOnTheWay) return {Error, std::move(path), Tr(FileOperationTexts::kLinkOnTheWay), code};
    if (code == kDotOnTheWay) return {Error, std::move(path), Tr(FileOperationTexts::kDotOnTheWay), code};
    return {Error, std::move(path), FileOperationTexts::Reason(what, code), code};
}

}  // namespace kirvo
