#pragma once
#include <ostream>

#include "sync/content_verification.h"

namespace kirvo {

class TreeMatcher;

// Each damaged file on err: "kirvo-cli verify: beschädigt? PATH (in der
// Quelle, zuletzt gut: TIME)"; each unreadable one with its reason.
void WriteDamageNotes(const VerifyResult& result, std::ostream& err);
// The roots and each path that is not equal with its state (the counts
// follow: VerifyUseCase::Summary).
std::ostream& WriteVerifyText(const VerifyResult& result, const TreeMatcher& matcher, std::ostream& out);
// One line per path: state number, path, the two hashes, the damaged sides
// (bits: 1 source, 2 target) and when the damaged side was last good.
void WriteVerifyTsv(const VerifyResult& result, std::ostream& out);
// One document: roots, every path with its state and per side the hash,
// whether damaged and since when good; the counts and the bytes read.
void WriteVerifyJson(const VerifyResult& result, const TreeMatcher& matcher, std::ostream& out);

}  // namespace kirvo
