#pragma once
#include <sys/types.h>

namespace kirvo {

// Whether the file system on device `device` (st_dev) lies on a spinning
// disk, as far as the kernel can be believed: only disks that report their
// own rotation (SCSI and ATA disks, "sd*" and "hd*") count; virtual and
// layered devices (virtio, loop, device mapper, md, ...) claim to spin
// whatever is behind them, and are taken as not spinning.
bool OnRotationalDisk(dev_t device);

}  // namespace kirvo
