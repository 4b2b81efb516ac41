#include "fileops/nested_roots.h"

#include "platform/root_relation.h"

namespace kirvo {

std::string NestedRootsMessage(const std::string& source, const std::string& target) {
    switch (RelateRoots(source, target)) {
    case RootRelation::SecondInsideFirst:
        return "Das Ziel „" + target + "“ liegt im Quellordner „" + source +
               "“; so lassen sich die Bäume nie abgleichen. Vergleichen geht, kopiert wird nichts.";
    case RootRelation::FirstInsideSecond:
        return "Die Quelle „" + source + "“ liegt im Zielordner „" + target +
               "“; so lassen sich die Bäume nie abgleichen. Vergleichen geht, kopiert wird nichts.";
    case RootRelation::Apart:
    case RootRelation::Same:
        break;
    }
    return {};
}

}  // namespace kirvo
