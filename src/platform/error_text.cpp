#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

#include "platform/translation.h"

namespace kirvo {
namespace {

struct Known {
    int code;
    const char* text;
};

// The numbers file operations, listings, locks, logs and connections report.
// Some are aliases of each other on some systems (EAGAIN and EWOULDBLOCK,
// ENOTSUP and EOPNOTSUPP): the first entry wins.
constexpr Known kKnown[] = {
    {EACCES, TrNoop("Keine Berechtigung")},
    {EPERM, TrNoop("Vorgang nicht erlaubt")},
    {ENOENT, TrNoop("Datei oder Ordner nicht gefunden")},
    {EIO, TrNoop("Ein-/Ausgabefehler")},
    {ENOSPC, TrNoop("Kein Platz mehr auf dem Datenträger")},
    {EDQUOT, TrNoop("Speicherkontingent überschritten")},
    {EROFS, TrNoop("Das Dateisystem ist schreibgeschützt")},
    {ENOTDIR, TrNoop("Kein Ordner")},
    {EISDIR, TrNoop("Ist ein Ordner")},
    {ELOOP, TrNoop("Zu viele Ebenen von Verknüpfungen")},
    {ENAMETOOLONG, TrNoop("Name zu lang")},
    {EEXIST, TrNoop("Existiert bereits")},
    {ENOTEMPTY, TrNoop("Der Ordner ist nicht leer")},
    {EXDEV, TrNoop("Über Dateisystemgrenzen hinweg nicht möglich")},
    {EBUSY, TrNoop("Gerät oder Datei wird gerade benutzt")},
    {ETXTBSY, TrNoop("Die Programmdatei wird gerade ausgeführt")},
    {EFBIG, TrNoop("Datei zu groß")},
    {EMLINK, TrNoop("Zu viele Verknüpfungen")},
    {EMFILE, TrNoop("Zu viele offene Dateien")},
    {ENFILE, TrNoop("Zu viele offene Dateien im System")},
    {ENOMEM, TrNoop("Nicht genügend Speicher")},
    {ENODEV, TrNoop("Gerät nicht vorhanden")},
    {ENXIO, TrNoop("Gerät oder Adresse nicht vorhanden")},
    {ESTALE, TrNoop("Veralteter Dateiverweis (Netzlaufwerk)")},
    {ENODATA, TrNoop("Keine Daten vorhanden")},
    {EOVERFLOW, TrNoop("Wert zu groß")},
    {ERANGE, TrNoop("Wert außerhalb des Bereichs")},
    {EINVAL, TrNoop("Ungültiges Argument")},
    {EBADF, TrNoop("Ungültiger Dateideskriptor")},
    {EINTR, TrNoop("Unterbrochen")},
    {EAGAIN, TrNoop("Vorübergehend nicht verfügbar")},
    {EWOULDBLOCK, TrNoop("Vorübergehend nicht verfügbar")},
    {ENOSYS, TrNoop("Vom System nicht unterstützt")},
    {ENOTSUP, TrNoop("Nicht unterstützt")},
    {EOPNOTSUPP, TrNoop("Nicht unterstützt")},
    {ECANCELED, TrNoop("Abgebrochen")},
    {EPIPE, TrNoop("Die Gegenseite hat die Verbindung geschlossen")},
    {EPROTO, TrNoop("Protokollfehler")},
    {ETIMEDOUT, TrNoop("Zeitüberschreitung der Verbindung")},
    {ECONNRESET, TrNoop("Die Gegenseite hat die Verbindung zurückgesetzt")},
    {ECONNREFUSED, TrNoop("Verbindung abgelehnt")},
    {ECONNABORTED, TrNoop("Verbindung abgebrochen")},
    {ENOTCONN, TrNoop("Nicht verbunden")},
    {EHOSTUNREACH, TrNoop("Rechner nicht erreichbar")},
    {EHOSTDOWN, TrNoop("Rechner nicht in Betrieb")},
    {ENETUNREACH, TrNoop("Netz nicht erreichbar")},
    {ENETDOWN, TrNoop("Netz nicht verfügbar")},
    {EILSEQ, TrNoop("Ungültiges Zeichen")},
};

}  // namespace

std::string ErrorText(int code) {
    for (const Known& known : kKnown)
        if (known.code == code) return Tr(known.text);
    std::string text = Format(Tr("Systemfehler %d"), code);
    char buffer[256];
    // GNU strerror_r may return a static text instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* system = strerror_r(code, buffer, sizeof buffer);
#else
    const char* system = strerror_r(code, buffer, sizeof buffer) == 0 ? buffer : nullptr;
#endif
    if (system != nullptr && *system != '\0') text.append(" (").append(system).append(")");
    return text;
}

}  // namespace kirvo
