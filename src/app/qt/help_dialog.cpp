#include "app/qt/help_dialog.h"
#include "platform/qt/qt_translation.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace kirvo {

QString HelpDialog::HelpHtml() {
    // TRANSLATORS: the whole help, in HTML; name menus and commands as the window does.
    return QTr(
        "<h2>Kirvo – Hilfe</h2>"
        "<p>Kirvo vergleicht zwei Ordnerbäume, eine <b>Quelle</b> und ein <b>Ziel</b>, Datei für "
        "Datei und bringt sie in Einklang.</p>"
        "<h3>Vergleichen</h3>"
        "<p>Tragen Sie oben die Pfade von Quelle und Ziel ein oder wählen Sie sie mit den Knöpfen "
        "<b>...</b> (auch <i>Extras › Quelle wählen</i> und <i>Ziel wählen</i>). "
        "<i>Datei › Pfade vergleichen</i> liest beide Bäume und zeigt das Ergebnis. Die zehn "
        "zuletzt verglichenen Pfade bietet jedes Feld in seiner Liste wieder an.</p>"
        "<h3>Die Liste</h3>"
        "<p>Links stehen die Dateien der Quelle, rechts die des Ziels, jeweils mit Name, Größe, "
        "Änderungsdatum und Pfad. Über den Dateien eines Ordners steht eine Ordnerzeile mit dem "
        "vollständigen Ordnerpfad. Verglichen wird nur das Änderungsdatum; Größe und Inhalt "
        "zählen nicht, außer unter <i>Extras › Vergleichen nach</i> ist <i>Änderungszeit und "
        "Größe</i> oder <i>Inhalt</i> gewählt. Nach Inhalt werden Dateien gleicher Größe Byte für "
        "Byte gelesen; die Statusleiste zeigt, wie weit, und <i>Abbrechen</i> hält das Lesen an.</p>"
        "<h3>Tasten und Dateivergleich</h3>"
        "<p><b>F5</b> vergleicht, <b>F9</b> gleicht ab, <b>Strg+Z</b> nimmt nach einer Rückfrage den letzten "
        "Lauf zurück, die <b>Leertaste</b> kehrt die Häkchen der markierten Dateizeilen um, "
        "<b>Enter</b> oder ein Doppelklick auf eine Zeile mit einer Datei auf beiden Seiten zeigt, was sich "
        "unterscheidet (das Programm aus <i>[Optionen] Dateivergleich</i>, sonst meld, kdiff3, kompare oder "
        "diffuse, sonst Kirvos eigene Ansicht). Das Kontextmenü der Liste (auch <b>Umschalt+F10</b> oder die "
        "Menütaste) öffnet eine Datei, zeigt sie im "
        "Dateimanager, kopiert ihren Pfad oder schließt sie vom Vergleich aus. <i>Extras › Quelle und Ziel "
        "tauschen</i> vertauscht die beiden Pfade. Nach dem Abgleichen, Kopieren und Löschen sagen "
        "Statusleiste und <i>Ausgabe</i>, was getan wurde.</p>"
        "<h3>Die Pfeile</h3>"
        "<ul>"
        "<li><b>---&gt;</b> Die Datei der Quelle ist neuer oder fehlt im Ziel: sie wird zum Ziel "
        "kopiert.</li>"
        "<li><b>&lt;---</b> Die Datei des Ziels ist neuer oder fehlt in der Quelle: sie wird zur "
        "Quelle kopiert.</li>"
        "<li><b>=</b> Beide Dateien gelten als gleich.</li>"
        "<li><b>&lt;?&gt;</b> Ein Konflikt: gleiche Zeit, aber verschiedene Größe oder verschiedener "
        "Inhalt, oder eine Datei ließ sich nicht lesen (der Tooltip nennt den Grund). Er trägt kein "
        "Häkchen; <i>Bearbeiten › Nach rechts kopieren</i> oder <i>Nach links kopieren</i> legt die "
        "Richtung fest.</li>"
        "</ul>"
        "<h3>Die Häkchen</h3>"
        "<p>Jede ungleiche Datei trägt ein Häkchen. <i>Datei › Dateien abgleichen</i> kopiert alle "
        "Dateien mit Häkchen in Pfeilrichtung. Ein Klick auf das Kästchen setzt oder entfernt das "
        "Häkchen, ein Klick auf das Kästchen einer Ordnerzeile tut das für alle Dateien des "
        "Ordners. <i>Kopieren</i> und <i>Löschen</i> im Menü <i>Bearbeiten</i> wirken dagegen auf "
        "die <b>markierten</b> (ausgewählten) Zeilen. Die Leiste <i>Ausgabe</i> zeigt Anzahl und "
        "Größe aller und der ausgewählten Dateien beider Seiten.</p>"
        "<h3>Anzeige</h3>"
        "<p>Im Menü <i>Ansicht</i> wählen Sie, welche Dateien die Liste zeigt: alle, nur "
        "ungleiche (Vorgabe), nur die von der Quelle zum Ziel, nur die vom Ziel zur Quelle oder "
        "nur gleiche.</p>"
        "<h3>Filter (Extras › Filter...)</h3>"
        "<p>Muster legen fest, welche Dateien verglichen werden, zum Beispiel <i>Ausschließen</i> "
        "<code>.git/</code>, <code>node_modules/</code>, <code>*.tmp</code> oder nur "
        "<i>Einschließen</i> <code>*.jpg</code>. Sie wirken auf beiden Seiten gleich; was ein Filter "
        "auslässt, wird weder angezeigt noch kopiert oder gelöscht. Solange ein Filter etwas "
        "auslässt, steht in der Statusleiste <b>Filter</b>; sein Tooltip nennt die Muster.</p>"
        "<h3>Verknüpfungen (Extras › Verknüpfungen)</h3>"
        "<p>Was eine symbolische Verknüpfung für Vergleich und Kopie ist: <b>Folgen</b> (Vorgabe): eine "
        "Verknüpfung auf eine Datei gilt als diese Datei und wird als ihr Inhalt kopiert. <b>Als "
        "Verknüpfung kopieren</b>: jede Verknüpfung gilt als sie selbst – ihre eigene Zeit, die Länge ihres "
        "Ziels als Größe, das Ziel als Inhalt – und wird als Verknüpfung mit demselben Ziel kopiert. "
        "<b>Auslassen</b>: Verknüpfungen werden weder angezeigt noch kopiert. In einen Ordner, auf den eine "
        "Verknüpfung zeigt, geht Kirvo nie. Läuft Kirvo als root, folgt es keiner Verknüpfung, die einem "
        "anderen gehört als ihr Ziel; sie steht als „nicht lesbar“ in der Liste und wird nicht kopiert.</p>"
        "<h3>Optionen (Extras › Optionen)</h3>"
        "<ul>"
        "<li><b>Sub-Ordner ausschließen</b>: Unterordner der Quelle, die im Ziel fehlen, werden "
        "nicht durchsucht.</li>"
        "<li><b>System-Ordner ausschließen</b>: Ordner mit dem Systemattribut (etwa „System Volume "
        "Information“) werden samt Inhalt nicht durchsucht. Dieses Attribut gibt es nur auf FAT- (vfat) "
        "und NTFS-Laufwerken; auf anderen Dateisystemen ist kein Ordner ein System-Ordner.</li>"
        "<li><b>+/- 2 Sekunden</b>: Zeiten im selben Monat, die höchstens zwei Sekunden "
        "auseinanderliegen, gelten als gleich. Liegen die beiden Zeiten in verschiedenen Monaten, "
        "sind sie ungleich, auch wenn nur eine Sekunde dazwischen liegt (etwa 31.03. 23:59:59 und "
        "1.04. 00:00:00).</li>"
        "<li><b>Eine Stunde Unterschied ignorieren</b>: Zeiten, die genau eine Stunde "
        "auseinanderliegen, gelten als gleich – so zeigen FAT-Laufwerke Dateien nach der Umstellung "
        "der Sommerzeit.</li>"
        "<li><b>Bestätigung vor Löschen / Überschreiben / Verzeichnis</b>: vor dem Löschen, dem "
        "Überschreiben von Dateien und dem Anlegen von Ordnern wird nachgefragt.</li>"
        "<li><b>Papierkorb verwenden</b> (Vorgabe): gelöschte und beim Kopieren ersetzte Dateien "
        "kommen in den Papierkorb, aus dem jeder Dateimanager sie zurückholt. Aus: endgültig.</li>"
        "<li><b>Bestätigung &gt; 5000 Dateien</b>: vor dem Anzeigen von mehr als 5000 "
        "Vergleichen wird nachgefragt.</li>"
        "<li><b>Beep</b>: Signaltöne ein oder aus.</li>"
        "</ul>"
        "<p>Optionen, Filter, Pfade und Fenstergröße werden beim Beenden gespeichert. Was kopiert, ersetzt "
        "und gelöscht wurde, steht im Protokoll (<i>Extras › Protokoll anzeigen</i>).</p>"
        "<p>Jedes Abgleichen, Kopieren und Löschen ist ein Lauf, der sich als Ganzes zurücknehmen lässt: "
        "<i>Bearbeiten › Letzten Abgleich rückgängig machen</i>, oder ein Lauf im Protokoll und "
        "<i>Lauf rückgängig machen</i>. Kopien kommen in den Papierkorb, solange sie unverändert sind; "
        "Ersetztes und Gelöschtes kommt aus dem Papierkorb zurück. Was seither geändert wurde, bleibt, "
        "und Kirvo nennt es.</p>");
}

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QTr("Kirvo – Hilfethemen"));
    auto* layout = new QVBoxLayout(this);
    auto* browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("helpText"));
    browser->setOpenExternalLinks(false);
    browser->setHtml(HelpHtml());
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QTr("Schließen"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 520);
}

}  // namespace kirvo
