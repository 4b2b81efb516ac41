#pragma once
#include <QString>

#include "platform/translation.h"

namespace kirvo {

// Tr() and TrN() for the window's texts.
inline QString QTr(const char* german) { return QString::fromUtf8(Tr(german)); }
inline QString QTrN(const char* germanOne, const char* germanMany, uint64_t count) {
    return QString::fromUtf8(TrN(germanOne, germanMany, count));
}

}  // namespace kirvo
