#include "fileops/nested_roots.h"

#include "platform/root_relation.h"
#include "platform/translation.h"

namespace kirvo {

std::string NestedRootsMessage(const Root& sourceRoot, const Root& targetRoot) {
    // A folder on another machine lies inside no local one; two of them are not copied between.
    const bool sourceRemote = sourceRoot.remote();
    const bool targetRemote = targetRoot.remote();
    const std::string& source = sourceRoot.location();
    const std::string& target = targetRoot.location();
    if (sourceRemote && targetRemote)
        return Tr("Quelle „") + source + Tr("“ und Ziel „") + target +
               Tr("“ liegen beide auf entfernten Rechnern; zwischen ihnen kopiert Kirvo nicht. Vergleichen geht; zum "
               "Abgleichen muss eine Seite ein lokaler Ordner sein.");
    if (sourceRemote || targetRemote) return {};
    switch (RelateRoots(source, target)) {
    case RootRelation::SecondInsideFirst:
        return Tr("Das Ziel „") + target + Tr("“ liegt im Quellordner „") + source +
               Tr("“; so lassen sich die Bäume nie abgleichen. Vergleichen geht, kopiert wird nichts.");
    case RootRelation::FirstInsideSecond:
        return Tr("Die Quelle „") + source + Tr("“ liegt im Zielordner „") + target +
               Tr("“; so lassen sich die Bäume nie abgleichen. Vergleichen geht, kopiert wird nichts.");
    case RootRelation::Apart:
    case RootRelation::Same:
        break;
    }
    return {};
}

}  // namespace kirvo
