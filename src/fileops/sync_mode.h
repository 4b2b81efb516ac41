#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// How a synchronisation treats the two trees. "update" copies each unequal
// file in the direction of its arrow and deletes nothing.
enum class SyncMode { Update };

// The name of a mode in options and job files ("update").
std::string_view SyncModeName(SyncMode mode);

// The mode a name stands for. False with a German message for a name that is
// no mode, or one this version cannot run yet.
bool ParseSyncMode(std::string_view name, SyncMode& mode, std::string& error);

}  // namespace kirvo
