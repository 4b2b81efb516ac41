#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/content_reader.h"
#include "platform/directory_lister.h"

namespace kirvo {

class Root;

// Snapshot roots ("snapshot:FILE", Root::Kind::Snapshot) behind the
// platform's interfaces, for whoever makes a run's listers and readers.

// The lister and the content reader of a snapshot's location ("snapshot:FILE/").
std::unique_ptr<DirectoryLister> MakeSnapshotLister(const std::string& location);
std::unique_ptr<ContentReader> MakeSnapshotReader(const std::string& location);

// Looks at a snapshot root: Exists when its file is a snapshot of ours and
// whole (every page read once), Missing when there is no file, else
// Unreadable with the error and the reason (kNotSnapshot: another kind of
// file, a damaged one, or one from a newer version).
void InspectSnapshot(Root& root);
// What stands against comparing with a snapshot root InspectSnapshot looked
// at, in German ("„snapshot:x“ existiert nicht."); "" when it is there and
// whole, and for any other root.
std::string SnapshotProblem(const Root& root);
// Why a command that would write into a snapshot or read its files rests:
// "„snapshot:x“ ist ein Schnappschuss: …".
std::string SnapshotRefusal(std::string_view rootText);

}  // namespace kirvo
