#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error_text.h"
#include "platform/file_node.h"
#include "platform/posix/stat_node_info.h"
#include "platform/translation.h"

namespace kirvo {

int InspectPath(const std::string& path, bool followLinks, NodeInfo& info) {
    info = NodeInfo{};
    struct stat st;
    const int rc = followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
    if (rc != 0) return errno == ENOENT ? 0 : errno;
    DescribeStat(st, info);
    return 0;
}

int MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    struct stat st;
    if (error == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 0;
    return error == EEXIST ? ENOTDIR : error;
}

int RemoveFileOrLink(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return kNotRegularFile;  // fifo, socket, device
    // unlink removes a link itself; a folder that replaced the file since the
    // check above makes it fail rather than remove anything else.
    return unlink(path.c_str()) == 0 ? 0 : errno;
}

std::string SystemErrorText(int code) {
    if (code == kNotRegularFile) return Tr("keine normale Datei");
    if (code == kSourceChanged) return Tr("während des Kopierens geändert");
    if (code == kLinkOnTheWay) return Tr("ein Ordner auf dem Weg ist eine Verknüpfung");
    if (code == kNoTrash) return Tr("kein Papierkorb verwendbar");
    if (code == kDestinationChanged) return Tr("das Ziel wurde inzwischen geändert");
    if (code == kConnectionLost) return Tr("Verbindung unterbrochen");
    if (code == kNotSupportedThere) return Tr("der Server auf dem entfernten Rechner kann das nicht sicher");
    if (code == kTimeNotStorable) return Tr(kTimeNotStorableText);
    if (code == kDotOnTheWay) return Tr("ein Name auf dem Weg ist „.“ oder „..“");
    if (code == kCopyDiffers) return Tr("beim Zurücklesen andere Daten als in der Quelle");
    if (code == kForeignLink) return Tr("Verknüpfung auf eine Datei eines anderen Besitzers; als root nicht gefolgt");
    if (code == kNotSnapshot) return Tr("keine Schnappschussdatei von Kirvo, oder sie ist beschädigt");
    if (code == kContentNotKept) return Tr("ein Schnappschuss enthält nicht den Inhalt der Dateien");
    if (code == kNoRecordedHash) return Tr("der Schnappschuss enthält keine Prüfsumme dieser Datei");
    if (code == kSnapshotReadOnly) return Tr("ein Schnappschuss lässt sich nur vergleichen, nicht verändern");
    return ErrorText(code);
}

}  // namespace kirvo
