#include "fileops/fetch_file.h"

#include <cerrno>

#include "platform/file_transfer.h"
#include "platform/folder_handle.h"
#include "platform/root_access.h"

namespace kirvo {

int FetchFile(RootAccess& roots, const std::string& root, std::string_view relative, const std::string& into,
              std::string& copied, const std::function<bool(uint64_t done, uint64_t total)>& progress) {
    std::string_view folderPart, name;
    SplitRelative(relative, folderPart, name);
    FolderHandle rootFolder, from, to;
    if (const int error = roots.open(root, rootFolder)) return error;
    if (const int error = rootFolder.openBeneath(folderPart, from)) return error;
    if (const int error = FolderHandle::OpenRoot(into, to)) return error;
    const std::unique_ptr<FileTransfer> transfer = FileTransfer::Between(!roots.remote(root), true);
    if (!transfer) return kNotSupportedThere;
    NodeInfo info;
    if (const int error = transfer->openSource(from, name, info)) return error;
    if (const int error = transfer->createTemporary(to, name)) return error;
    constexpr uint64_t kPiece = uint64_t{1} << 20;
    for (bool finished = false; !finished;) {
        uint64_t piece = 0;
        if (const int error = transfer->copySome(kPiece, piece, finished)) return error;
        if (progress && !progress(transfer->bytes(), info.size)) return ECANCELED;  // the transfer removes its temporary file
    }
    if (const int error = transfer->seal()) return error;
    if (const int error = transfer->publish(NodeInfo{})) return error;  // nothing stood there
    copied = into;
    if (!copied.empty() && copied.back() != '/') copied += '/';
    copied.append(name);
    return 0;
}

}  // namespace kirvo
