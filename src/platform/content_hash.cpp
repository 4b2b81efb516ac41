#include "platform/content_hash.h"

#include <cstdio>

namespace kirvo {

std::string ContentHash::text() const {
    char buffer[33];
    std::snprintf(buffer, sizeof buffer, "%016llx%016llx", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return buffer;
}

std::string ContentHash::Bytes() const {
    std::string bytes(16, '\0');
    for (int i = 0; i < 8; ++i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>(high >> (56 - 8 * i));
        bytes[static_cast<size_t>(8 + i)] = static_cast<char>(low >> (56 - 8 * i));
    }
    return bytes;
}

bool ContentHash::FromBytes(std::string_view bytes, ContentHash& hash) {
    if (bytes.size() != 16) return false;
    hash = ContentHash{};
    for (size_t i = 0; i < 8; ++i) {
        hash.high = (hash.high << 8) | static_cast<unsigned char>(bytes[i]);
        hash.low = (hash.low << 8) | static_cast<unsigned char>(bytes[8 + i]);
    }
    return true;
}

}  // namespace kirvo
