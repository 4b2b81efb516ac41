#include "platform/snapshot/snapshot_backend.h"

#include "platform/root.h"
#include "platform/snapshot/snapshot_content_reader.h"
#include "platform/snapshot/snapshot_directory_lister.h"
#include "platform/snapshot/snapshot_file.h"
#include "platform/translation.h"

namespace kirvo {

std::unique_ptr<DirectoryLister> MakeSnapshotLister(const std::string&) {
    return std::make_unique<SnapshotDirectoryLister>();
}

std::unique_ptr<ContentReader> MakeSnapshotReader(const std::string& location) {
    return std::make_unique<SnapshotContentReader>(location);
}

void InspectSnapshot(Root& root) {
    root.Inspect();
    if (!root.exists()) return;
    std::unique_ptr<SnapshotFile> file;
    std::string reason;
    if (const int error = SnapshotFile::Open(Root::SnapshotFileOf(root.location()), true, file, reason))
        root.JudgeUnreadable(error, std::move(reason));
}

std::string SnapshotProblem(const Root& root) {
    if (!root.snapshot() || root.exists()) return {};
    if (root.state() == Root::State::Missing) return "„" + root.text() + Tr("“ existiert nicht.");
    return Format(Tr("„%s“ lässt sich nicht als Schnappschuss lesen: %s."), root.text(), root.reason());
}

std::string SnapshotRefusal(std::string_view rootText) {
    return Format(Tr("„%s“ ist ein Schnappschuss: er hält nur die Liste der Dateien fest, nicht ihren Inhalt, und "
                     "wird nie verändert. Er lässt sich vergleichen, aber nicht abgleichen; kopiert, gelöscht und "
                     "geöffnet wird dort nichts."),
                  rootText);
}

}  // namespace kirvo
