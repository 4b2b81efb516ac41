#include "platform/posix/rotational_disk.h"

#include <sys/sysmacros.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace kirvo {
namespace {

// The whole disk's folder in sysfs for a device, a partition's parent; "" if none.
std::string DiskFolder(dev_t device) {
    const std::string link = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char* real = realpath(link.c_str(), nullptr);
    if (real == nullptr) return {};
    std::string folder(real);
    std::free(real);
    if (std::ifstream(folder + "/partition").good()) folder.erase(folder.rfind('/'));
    return folder;
}

}  // namespace

bool OnRotationalDisk(dev_t device) {
    const std::string folder = DiskFolder(device);
    if (folder.empty()) return false;
    const std::string name = folder.substr(folder.rfind('/') + 1);
    if (name.rfind("sd", 0) != 0 && name.rfind("hd", 0) != 0) return false;
    std::ifstream flag(folder + "/queue/rotational");
    int rotational = 0;
    return flag >> rotational && rotational == 1;
}

}  // namespace kirvo

#include "platform/disk_kind.h"

namespace kirvo {

bool OnSpinningDisk(uint64_t device) { return OnRotationalDisk(static_cast<dev_t>(device)); }

}  // namespace kirvo
