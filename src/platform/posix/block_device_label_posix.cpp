#include <blkid/blkid.h>

#include "platform/block_device_label.h"

namespace kirvo {

std::optional<BlockDeviceLabel> BlockDeviceLabel::Read(const std::string& device) {
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (probe == nullptr) return std::nullopt;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    std::optional<BlockDeviceLabel> found;
    // Safe: a device with signatures of two file systems names neither.
    if (blkid_do_safeprobe(probe) == 0) {
        found.emplace();
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0 && value != nullptr) found->uuid = value;
        if (blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value != nullptr) found->label = value;
        if (found->uuid.empty() && found->label.empty()) found.reset();
    }
    blkid_free_probe(probe);
    return found;
}

}  // namespace kirvo
