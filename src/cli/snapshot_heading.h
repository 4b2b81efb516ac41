#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/root.h"

namespace kirvo {

// How the reports name a root that is a snapshot: the text report's heading
// line, and the JSON reports' description of it. Any other root is named as
// it is.

// "Schnappschuss /a/fotos.kirvo-snapshot (von /media/x/Fotos, gespeichert am
// 02.01.2025 10:00:00, mit Prüfsummen)"; the root itself for any other.
std::string RootHeading(const Root& root, int64_t utcOffset);
// {"file", "folder", "saved", "saved_ns", "hashes", "links", "files",
// "folders"}; null for any other root.
nlohmann::ordered_json SnapshotJson(const Root& root, int64_t utcOffset);

}  // namespace kirvo
