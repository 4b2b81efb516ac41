#include "fileops/nested_roots.h"

#include "platform/root_relation.h"

namespace kirvo {

std::string NestedRootsMessage(const Root& sourceRoot, const Root& targetRoot) {
    // A folder on another machine lies inside no local one; two of them are not copied between.
    const bool sourceRemote = sourceRoot.remote();
    const bool targetRemote = targetRoot.remote();
    const std::string& source = sourceRoot.location();
    const std::string& target = targetRoot.location();
    if (sourceRemote && targetRemote)
        return "Quelle „" + source + "“ und Ziel „" + target +
               "“ liegen beide auf entfernten Rechnern; zwischen ihnen kopiert Kirvo nicht. Vergleichen geht; zum "
               "Abgleichen muss eine Seite ein lokaler Ordner sein.";
    if (sourceRemote || targetRemote) return {};
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
