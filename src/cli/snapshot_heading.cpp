#include "cli/snapshot_heading.h"

#include <memory>

#include "cli/json_text.h"
#include "engine/system_time.h"
#include "platform/root.h"
#include "platform/snapshot/snapshot_file.h"
#include "platform/translation.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

std::unique_ptr<SnapshotFile> Opened(const Root& root) {
    std::unique_ptr<SnapshotFile> file;
    std::string reason;
    if (!root.snapshot() || SnapshotFile::Open(Root::SnapshotFileOf(root.location()), false, file, reason) != 0) return {};
    return file;
}

}  // namespace

std::string RootHeading(const Root& root, int64_t utcOffset) {
    const std::unique_ptr<SnapshotFile> file = Opened(root);
    if (!file) return root.location();
    const SnapshotFile::Summary& summary = file->summary();
    const auto milliseconds = static_cast<uint16_t>(summary.savedNanoseconds / 1000000);
    return Format(Tr("Schnappschuss %s (von %s, gespeichert am %s%s)"), Root::SnapshotFileOf(root.location()), summary.folder,
                  FormatDate(SystemTimeFromSeconds(summary.savedSeconds + utcOffset, milliseconds)),
                  summary.hashes ? Tr(", mit Prüfsummen") : "");
}

nlohmann::ordered_json SnapshotJson(const Root& root, int64_t utcOffset) {
    const std::unique_ptr<SnapshotFile> file = Opened(root);
    if (!file) return nullptr;
    const SnapshotFile::Summary& summary = file->summary();
    const auto milliseconds = static_cast<uint16_t>(summary.savedNanoseconds / 1000000);
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    PutJsonText(json, "file", Root::SnapshotFileOf(root.location()));
    PutJsonText(json, "folder", summary.folder);
    json["saved"] = JsonIsoTime(summary.savedSeconds + utcOffset, milliseconds, utcOffset);
    json["saved_ns"] = summary.savedSeconds * 1'000'000'000 + summary.savedNanoseconds;
    json["hashes"] = summary.hashes;
    json["links"] = std::string(LinkModeName(summary.links));
    json["files"] = summary.files;
    json["folders"] = summary.folders;
    return json;
}

}  // namespace kirvo
