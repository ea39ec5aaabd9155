<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About Quillary</source>
        <translation>Über Quillary</translation>
    </message>
    <message>
        <source>Lays your company stationery onto any PDF document: print from any program and choose Quillary.</source>
        <translation>Legt Ihr Firmenbriefpapier auf jedes PDF-Dokument: Drucken Sie aus einem beliebigen Programm und wählen Sie Quillary.</translation>
    </message>
</context>
<context>
    <name>ApplicationMenu</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
</context>
<context>
    <name>ConfigurationAssistantController</name>
    <message>
        <source>Configuration assistant</source>
        <translation>Konfigurationsassistent</translation>
    </message>
    <message>
        <source>New template</source>
        <translation>Neue Vorlage</translation>
    </message>
    <message>
        <source>Drop your stationery PDF files on the pages below, or use the round buttons.</source>
        <translation>Ziehen Sie Ihre Briefpapier-PDFs auf die Seiten unten oder nutzen Sie die runden Knöpfe.</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Name of the template</source>
        <translation>Name der Vorlage</translation>
    </message>
    <message>
        <source>Template name</source>
        <translation>Vorlagenname</translation>
    </message>
    <message>
        <source>PDF files in DIN A4 or US Letter, portrait or landscape. Only the first page of a file is used.</source>
        <translation>PDF-Dateien in DIN A4 oder US Letter, hoch oder quer. Nur die erste Seite einer Datei wird verwendet.</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Save template</source>
        <translation>Vorlage speichern</translation>
    </message>
    <message>
        <source>Show the video guide</source>
        <translation>Videoanleitung zeigen</translation>
    </message>
</context>
<context>
    <name>CustomFileManager</name>
    <message>
        <source>Meine Vorlage</source>
        <translation>Meine Vorlage</translation>
    </message>
    <message>
        <source>sample-letterhead.pdf</source>
        <extracomment>The placeholder start page of the first template in this language: the file name beside the English &quot;sample-letterhead.pdf&quot; (German: &quot;sample-letterhead_de.pdf&quot;). Leave it as it is where there is none.</extracomment>
        <translation>sample-letterhead_de.pdf</translation>
    </message>
</context>
<context>
    <name>DesktopUi</name>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>FailureText</name>
    <message>
        <source>A file that is needed does not exist.</source>
        <translation>Eine benötigte Datei existiert nicht.</translation>
    </message>
    <message>
        <source>A folder was found where a file belongs.</source>
        <translation>Wo eine Datei sein sollte, ist ein Ordner.</translation>
    </message>
    <message>
        <source>A file that is needed cannot be read.</source>
        <translation>Eine benötigte Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>A file that is needed is damaged.</source>
        <translation>Eine benötigte Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>The document is protected by a password.</source>
        <translation>Das Dokument ist mit einem Passwort geschützt.</translation>
    </message>
    <message>
        <source>The document has no pages.</source>
        <translation>Das Dokument hat keine Seiten.</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>Der Datenträger ist voll.</translation>
    </message>
    <message>
        <source>A file could not be written.</source>
        <translation>Eine Datei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>A password or another setting cannot be used.</source>
        <translation>Ein Passwort oder eine andere Einstellung ist nicht verwendbar.</translation>
    </message>
    <message>
        <source>That file must not be replaced.</source>
        <translation>Diese Datei darf nicht ersetzt werden.</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>Abgebrochen.</translation>
    </message>
    <message>
        <source>The template or one of its pages no longer exists.</source>
        <translation>Die Vorlage oder eine ihrer Seiten existiert nicht mehr.</translation>
    </message>
    <message>
        <source>Another Quillary window is changing the templates. Try again in a moment.</source>
        <translation>Ein anderes Quillary-Fenster ändert gerade die Vorlagen. Versuchen Sie es gleich noch einmal.</translation>
    </message>
    <message>
        <source>“%1” does not exist.</source>
        <translation>„%1“ existiert nicht.</translation>
    </message>
    <message>
        <source>“%1” is a folder, not a file.</source>
        <translation>„%1“ ist ein Ordner, keine Datei.</translation>
    </message>
    <message>
        <source>“%1” cannot be read.</source>
        <translation>„%1“ kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>“%1” is damaged or not in a format Quillary can read.</source>
        <translation>„%1“ ist beschädigt oder in einem Format, das Quillary nicht lesen kann.</translation>
    </message>
    <message>
        <source>“%1” is protected by a password.</source>
        <translation>„%1“ ist mit einem Passwort geschützt.</translation>
    </message>
    <message>
        <source>“%1” has no pages.</source>
        <translation>„%1“ hat keine Seiten.</translation>
    </message>
    <message>
        <source>The disk is full: “%1” could not be written.</source>
        <translation>Der Datenträger ist voll: „%1“ konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>“%1” could not be written.</source>
        <translation>„%1“ konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>“%1” was not written: a password or another setting cannot be used.</source>
        <translation>„%1“ wurde nicht geschrieben: Ein Passwort oder eine andere Einstellung ist nicht verwendbar.</translation>
    </message>
    <message>
        <source>“%1” must not be replaced: it is the document itself or a file of the template store.</source>
        <translation>„%1“ darf nicht ersetzt werden: Es ist das Dokument selbst oder eine Datei der Vorlagenablage.</translation>
    </message>
    <message>
        <source>“%1” no longer exists.</source>
        <translation>„%1“ existiert nicht mehr.</translation>
    </message>
    <message>
        <source>There was not enough memory to work on the document.</source>
        <translation>Für die Bearbeitung des Dokuments war nicht genug Arbeitsspeicher frei.</translation>
    </message>
    <message>
        <source>There was not enough memory to work on “%1”.</source>
        <translation>Für die Bearbeitung von „%1“ war nicht genug Arbeitsspeicher frei.</translation>
    </message>
</context>
<context>
    <name>FirstTemplateHint</name>
    <message>
        <source>Make a template...</source>
        <translation>Vorlage erstellen ...</translation>
    </message>
    <message>
        <source>Make a template</source>
        <translation>Vorlage erstellen</translation>
    </message>
    <message>
        <source>This is Quillary&apos;s sample letterhead: you have no template of your own yet.</source>
        <translation>Dies ist das Muster-Briefpapier von Quillary: Sie haben noch keine eigene Vorlage.</translation>
    </message>
</context>
<context>
    <name>LoadingScreenViewController</name>
    <message>
        <source>Saving the template</source>
        <translation>Vorlage wird gespeichert</translation>
    </message>
    <message>
        <source>Saving the template…</source>
        <translation>Vorlage wird gespeichert …</translation>
    </message>
</context>
<context>
    <name>MainViewController</name>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
</context>
<context>
    <name>PrintService</name>
    <message>
        <source>printer</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>open with</source>
        <translation>Mit Quillary öffnen</translation>
    </message>
</context>
<context>
    <name>ProcessEntry</name>
    <message>
        <source>&quot;%1&quot; is a folder, not a PDF document.</source>
        <translation>„%1“ ist ein Ordner, kein PDF-Dokument.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; does not exist.</source>
        <translation>„%1“ existiert nicht.</translation>
    </message>
    <message>
        <source>Quillary cannot open this document</source>
        <translation>Quillary kann dieses Dokument nicht öffnen</translation>
    </message>
</context>
<context>
    <name>SplashScreenViewController</name>
    <message>
        <source>Your stationery on every document</source>
        <translation>Ihr Briefpapier auf jedem Dokument</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
</context>
<context>
    <name>quillary::AppController</name>
    <message>
        <source>%1 - Quillary</source>
        <translation>%1 – Quillary</translation>
    </message>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>Menu bar</source>
        <translation>Menüleiste</translation>
    </message>
    <message>
        <source>About Quillary</source>
        <translation>Über Quillary</translation>
    </message>
    <message>
        <source>Close Quillary</source>
        <translation>Quillary beenden</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
</context>
<context>
    <name>quillary::AppDelegate</name>
    <message>
        <source>About Quillary</source>
        <translation>Über Quillary</translation>
    </message>
    <message>
        <source>Close Quillary</source>
        <translation>Quillary beenden</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Delete printer</source>
        <translation>Drucker entfernen</translation>
    </message>
    <message>
        <source>Reset settings</source>
        <translation>Einstellungen zurücksetzen</translation>
    </message>
    <message>
        <source>Search updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Handbuch</translation>
    </message>
    <message>
        <source>Reset settings?</source>
        <translation>Einstellungen zurücksetzen?</translation>
    </message>
    <message>
        <source>Every template and its pages will be deleted, and Quillary will quit.</source>
        <translation>Alle Vorlagen und ihre Seiten werden gelöscht, und Quillary wird beendet.</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Settings not reset</source>
        <translation>Einstellungen nicht zurückgesetzt</translation>
    </message>
    <message>
        <source>The template store could not be removed: %1</source>
        <translation>Die Vorlagenablage konnte nicht entfernt werden: %1</translation>
    </message>
    <message>
        <source>Template not saved</source>
        <translation>Vorlage nicht gespeichert</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be saved: %2</source>
        <translation>Die Vorlage „%1“ konnte nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>Die Vorlage „%1“ existiert nicht mehr.</translation>
    </message>
    <message>
        <source>Delete printer?</source>
        <translation>Drucker löschen?</translation>
    </message>
    <message>
        <source>The printer Quillary stays on this computer for other users. Quillary will no longer open your print jobs: what you print to it is refused until you save a template again.</source>
        <translation>Der Drucker Quillary bleibt für andere Benutzer auf diesem Computer. Quillary öffnet Ihre Druckaufträge nicht mehr: Was Sie darauf drucken, wird abgelehnt, bis Sie wieder eine Vorlage speichern.</translation>
    </message>
    <message>
        <source>Printer not deleted</source>
        <translation>Drucker nicht gelöscht</translation>
    </message>
    <message>
        <source>Quillary could not be turned off for you: %1</source>
        <translation>Quillary konnte für Sie nicht ausgeschaltet werden: %1</translation>
    </message>
    <message>
        <source>Fonts cannot be embedded</source>
        <translation>Schriften können nicht eingebettet werden</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; was saved, but its stationery uses fonts that cannot be embedded. PDF/A e-invoices stamped with it will no longer be valid PDF/A:
%2</source>
        <translation>Die Vorlage „%1“ wurde gespeichert, aber ihr Briefpapier verwendet Schriften, die nicht eingebettet werden können. PDF/A-E-Rechnungen, die damit gestempelt werden, sind danach kein gültiges PDF/A mehr:
%2</translation>
    </message>
</context>
<context>
    <name>quillary::CircleView</name>
    <message>
        <source>start page</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>continuation page</source>
        <translation>Folgeseite</translation>
    </message>
    <message>
        <source>terms page</source>
        <translation>AGB-Seite</translation>
    </message>
    <message>
        <source>Remove %1</source>
        <translation>%1 entfernen</translation>
    </message>
    <message>
        <source>Remove the %1</source>
        <translation>Die %1 entfernen</translation>
    </message>
    <message>
        <source>Choose %1</source>
        <translation>%1 wählen</translation>
    </message>
    <message>
        <source>Choose a PDF file for the %1</source>
        <translation>Eine PDF-Datei für die %1 wählen</translation>
    </message>
    <message>
        <source>Choose the %1</source>
        <translation>Die %1 wählen</translation>
    </message>
    <message>
        <source>Unknown Format</source>
        <translation>Unbekanntes Seitenformat</translation>
    </message>
    <message>
        <source>Supported Formats</source>
        <translation>Quillary verwendet Seiten in DIN A4 und US Letter, hoch oder quer.</translation>
    </message>
    <message>
        <source>PDF with background</source>
        <translation>PDF mit weißem Hintergrund</translation>
    </message>
    <message>
        <source>The content may not be displayed after printing because a white background has been detected</source>
        <translation>Diese Seite hat einen weißen Hintergrund: Er kann den Inhalt der darauf gedruckten Dokumente verdecken.</translation>
    </message>
</context>
<context>
    <name>quillary::ConfigurationAssistantController</name>
    <message>
        <source>Start page</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>Continuation page</source>
        <translation>Folgeseite</translation>
    </message>
    <message>
        <source>Terms page</source>
        <translation>AGB-Seite</translation>
    </message>
    <message>
        <source>Page 1 of every document</source>
        <translation>Seite 1 jedes Dokuments</translation>
    </message>
    <message>
        <source>Pages 2 and following</source>
        <translation>Seite 2 und folgende</translation>
    </message>
    <message>
        <source>Appended at the end</source>
        <translation>Am Ende angehängt</translation>
    </message>
    <message>
        <source>New template</source>
        <translation>Neue Vorlage</translation>
    </message>
    <message>
        <source>Edit template</source>
        <translation>Vorlage bearbeiten</translation>
    </message>
    <message>
        <source>Enter name</source>
        <translation>Name eingeben</translation>
    </message>
    <message>
        <source>Pls enter a name</source>
        <translation>Bitte geben Sie der Vorlage einen Namen.</translation>
    </message>
    <message>
        <source>Templatename exists</source>
        <translation>Vorlagenname vergeben</translation>
    </message>
    <message>
        <source>You have an template with the same name</source>
        <translation>Es gibt bereits eine Vorlage mit diesem Namen.</translation>
    </message>
    <message>
        <source>Missing start page</source>
        <translation>Startseite fehlt</translation>
    </message>
    <message>
        <source>You have to  include at least the home page</source>
        <translation>Eine Vorlage braucht mindestens eine Startseite.</translation>
    </message>
    <message>
        <source>The pages differ in paper format</source>
        <translation>Die Seiten haben unterschiedliche Papierformate</translation>
    </message>
    <message>
        <source>The start page is %1, but the %2 is %3. Letters made with this template would mix paper formats.

Save the template anyway?</source>
        <translation>Die Startseite ist %1, die %2 aber %3. Briefe mit dieser Vorlage würden Papierformate mischen.

Die Vorlage trotzdem speichern?</translation>
    </message>
    <message>
        <source>Save anyway</source>
        <translation>Trotzdem speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>DIN A4</source>
        <translation>DIN A4</translation>
    </message>
    <message>
        <source>US Letter</source>
        <translation>US Letter</translation>
    </message>
    <message>
        <source>%1 × %2 mm</source>
        <translation>%1 × %2 mm</translation>
    </message>
    <message>
        <source>%1 landscape</source>
        <translation>%1 quer</translation>
    </message>
</context>
<context>
    <name>quillary::CustomCollectionView</name>
    <message>
        <source>Page %1: %2</source>
        <extracomment>Accessible name of a page thumbnail: page number, then its role</extracomment>
        <translation>Seite %1: %2</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>The merged pages; the arrow keys choose a page</source>
        <translation>Die zusammengeführten Seiten; die Pfeiltasten wählen eine Seite</translation>
    </message>
    <message>
        <source>Start page</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>Terms of Service</source>
        <translation>AGB-Seite</translation>
    </message>
    <message>
        <source>Follow page</source>
        <translation>Folgeseite</translation>
    </message>
    <message>
        <source>Follow pages</source>
        <translation>Folgeseiten</translation>
    </message>
    <message>
        <source>Terms page</source>
        <translation>AGB-Seite</translation>
    </message>
    <message>
        <source>Continuation page</source>
        <translation>Folgeseite</translation>
    </message>
</context>
<context>
    <name>quillary::DocumentPasswordPanel</name>
    <message>
        <source>Document password</source>
        <translation>Dokumentpasswort</translation>
    </message>
    <message>
        <source>Password of the document</source>
        <translation>Passwort des Dokuments</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Open the document</source>
        <translation>Dokument öffnen</translation>
    </message>
    <message>
        <source>Password problem</source>
        <translation>Problem mit dem Passwort</translation>
    </message>
    <message>
        <source>“%1” is protected by a password. Enter it to open the document:</source>
        <translation>„%1“ ist mit einem Passwort geschützt. Geben Sie es ein, um das Dokument zu öffnen:</translation>
    </message>
</context>
<context>
    <name>quillary::DummyActionGetter</name>
    <message>
        <source>Choose the %1</source>
        <extracomment>%1 is &quot;start page&quot;, &quot;continuation page&quot; or &quot;terms page&quot;</extracomment>
        <translation>Die %1 wählen</translation>
    </message>
    <message>
        <source>Click to choose a PDF file for the %1</source>
        <translation>Klicken, um eine PDF-Datei für die %1 zu wählen</translation>
    </message>
</context>
<context>
    <name>quillary::EditViewcontroller</name>
    <message>
        <source>Page with stationery</source>
        <translation>Seite mit Briefpapier</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Versatz</translation>
    </message>
    <message>
        <source>Move the content</source>
        <translation>Inhalt verschieben</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>&amp;x:</source>
        <translation>&amp;x:</translation>
    </message>
    <message>
        <source>x offset in millimetres</source>
        <translation>x-Versatz in Millimetern</translation>
    </message>
    <message>
        <source>&amp;y:</source>
        <translation>&amp;y:</translation>
    </message>
    <message>
        <source>y offset in millimetres</source>
        <translation>y-Versatz in Millimetern</translation>
    </message>
    <message>
        <source>Move content right</source>
        <translation>Inhalt nach rechts</translation>
    </message>
    <message>
        <source>Move content left</source>
        <translation>Inhalt nach links</translation>
    </message>
    <message>
        <source>Move content up</source>
        <translation>Inhalt nach oben</translation>
    </message>
    <message>
        <source>Move content down</source>
        <translation>Inhalt nach unten</translation>
    </message>
    <message>
        <source>Positive values move the content to the right and up.</source>
        <translation>Positive Werte verschieben den Inhalt nach rechts und nach oben.</translation>
    </message>
    <message>
        <source>Stationery behind content</source>
        <translation>Briefpapier hinter dem Inhalt</translation>
    </message>
    <message>
        <source>Show help lines</source>
        <translation>Hilfslinien zeigen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>Left help line</source>
        <translation>Linke Hilfslinie</translation>
    </message>
    <message>
        <source>Right help line</source>
        <translation>Rechte Hilfslinie</translation>
    </message>
    <message>
        <source>Top help line</source>
        <translation>Obere Hilfslinie</translation>
    </message>
    <message>
        <source>Bottom help line</source>
        <translation>Untere Hilfslinie</translation>
    </message>
    <message>
        <source>Background in the document</source>
        <translation>Weißer Hintergrund im Dokument</translation>
    </message>
    <message>
        <source>The stationery may not be displayed because a white background has been detected in the created document</source>
        <translation>Diese Seite des Dokuments hat einen weißen Hintergrund: Er kann das Briefpapier verdecken.</translation>
    </message>
</context>
<context>
    <name>quillary::GuideController</name>
    <message>
        <source>Start page</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>Continuation</source>
        <translation>Folgeseite</translation>
    </message>
    <message>
        <source>Terms</source>
        <translation>AGB</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Close guide</source>
        <translation>Anleitung schließen</translation>
    </message>
    <message>
        <source>Arrow to the start page</source>
        <translation>Pfeil zur Startseite</translation>
    </message>
    <message>
        <source>Guide: put your letterhead in</source>
        <translation>Anleitung: Briefkopf einsetzen</translation>
    </message>
    <message>
        <source>Put your letterhead in</source>
        <translation>Setzen Sie Ihren Briefkopf ein</translation>
    </message>
    <message>
        <source>Drag your letterhead PDF from your files onto the start page of the assistant. Or click a page below to choose a file.</source>
        <translation>Ziehen Sie Ihr Briefkopf-PDF aus Ihren Dateien auf die Startseite des Assistenten. Oder klicken Sie unten auf eine Seite, um eine Datei zu wählen.</translation>
    </message>
    <message>
        <source>Guide: your letterhead is in</source>
        <translation>Anleitung: Ihr Briefkopf ist eingesetzt</translation>
    </message>
    <message>
        <source>Your letterhead is in</source>
        <translation>Ihr Briefkopf ist eingesetzt</translation>
    </message>
    <message>
        <source>Add a continuation page for pages 2 and following and a terms page, if you have them. Then name the template and save it: it is offered whenever you print to Quillary.</source>
        <translation>Fügen Sie eine Folgeseite für Seite 2 und folgende und eine AGB-Seite hinzu, wenn Sie welche haben. Dann benennen und speichern Sie die Vorlage: Sie wird bei jedem Druck auf Quillary angeboten.</translation>
    </message>
    <message>
        <source>Save template</source>
        <translation>Vorlage speichern</translation>
    </message>
    <message>
        <source>Save template now</source>
        <translation>Vorlage jetzt speichern</translation>
    </message>
</context>
<context>
    <name>quillary::LargePreview</name>
    <message>
        <source>Selected page</source>
        <translation>Gewählte Seite</translation>
    </message>
</context>
<context>
    <name>quillary::LoadingScreenViewController</name>
    <message>
        <source>Step %1 of %2</source>
        <translation>Schritt %1 von %2</translation>
    </message>
    <message>
        <source>Saving &quot;%1&quot;…</source>
        <translation>„%1“ wird gespeichert …</translation>
    </message>
    <message>
        <source>Updating &quot;%1&quot;…</source>
        <translation>„%1“ wird aktualisiert …</translation>
    </message>
</context>
<context>
    <name>quillary::MainViewController</name>
    <message>
        <source>Save the new template?</source>
        <translation>Die neue Vorlage speichern?</translation>
    </message>
    <message>
        <source>Save the changes to &quot;%1&quot;?</source>
        <translation>Die Änderungen an „%1“ speichern?</translation>
    </message>
    <message>
        <source>Your changes will be lost if you don&apos;t save them.</source>
        <translation>Ihre Änderungen gehen verloren, wenn Sie sie nicht speichern.</translation>
    </message>
    <message>
        <source>Your changes to &quot;%1&quot; will be lost if you don&apos;t save them.</source>
        <translation>Ihre Änderungen an „%1“ gehen verloren, wenn Sie sie nicht speichern.</translation>
    </message>
</context>
<context>
    <name>quillary::ManualWindow</name>
    <message>
        <source>Quillary Manual</source>
        <translation>Quillary-Handbuch</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Handbuch</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Your stationery on every document&lt;/h2&gt;&lt;p&gt;A &lt;b&gt;template&lt;/b&gt; holds up to three one-page PDF files: the &lt;b&gt;start page&lt;/b&gt; is laid on page 1 of a document, the &lt;b&gt;continuation page&lt;/b&gt; on every further page, and the &lt;b&gt;terms page&lt;/b&gt; is appended after the last page.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Ihr Briefpapier auf jedem Dokument&lt;/h2&gt;&lt;p&gt;Eine &lt;b&gt;Vorlage&lt;/b&gt; enthält bis zu drei einseitige PDF-Dateien: Die &lt;b&gt;Startseite&lt;/b&gt; wird auf Seite 1 eines Dokuments gelegt, die &lt;b&gt;Folgeseite&lt;/b&gt; auf jede weitere Seite, und die &lt;b&gt;AGB-Seite&lt;/b&gt; wird hinter der letzten Seite angehängt.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Making a template&lt;/h3&gt;&lt;p&gt;Click &lt;b&gt;+&lt;/b&gt; below the list, drop your letterhead PDF on the start page (or click the round button under it to choose a file), add the other pages if you like, give the template a name and click &lt;b&gt;Save template&lt;/b&gt;. Pages must be DIN A4 or US Letter, portrait or landscape; only the first page of a file is used. Quillary warns you when the pages of one template differ in paper format.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Eine Vorlage anlegen&lt;/h3&gt;&lt;p&gt;Klicken Sie unter der Liste auf &lt;b&gt;+&lt;/b&gt;, ziehen Sie Ihr Briefkopf-PDF auf die Startseite (oder klicken Sie auf den runden Knopf darunter, um eine Datei zu wählen), fügen Sie nach Wunsch die anderen Seiten hinzu, geben Sie der Vorlage einen Namen und klicken Sie auf &lt;b&gt;Vorlage speichern&lt;/b&gt;. Die Seiten müssen DIN A4 oder US Letter sein, hoch oder quer; nur die erste Seite einer Datei wird verwendet. Quillary warnt Sie, wenn die Seiten einer Vorlage unterschiedliche Papierformate haben.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Enabled and behind the content&lt;/h3&gt;&lt;p&gt;Only enabled templates are offered when you print. With &lt;b&gt;Behind content&lt;/b&gt; on, the stationery lies behind the document&apos;s text; off, it is drawn over it.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Aktiv und hinter dem Inhalt&lt;/h3&gt;&lt;p&gt;Beim Drucken werden nur aktive Vorlagen angeboten. Mit &lt;b&gt;Hinter Inhalt&lt;/b&gt; liegt das Briefpapier hinter dem Text des Dokuments; ausgeschaltet wird es darübergelegt.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Printing&lt;/h3&gt;&lt;p&gt;Print from any program and choose Quillary. A preview shows your document on your stationery; save it as a PDF (&lt;b&gt;Ctrl+S&lt;/b&gt;) or print it (&lt;b&gt;Ctrl+P&lt;/b&gt;).&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Drucken&lt;/h3&gt;&lt;p&gt;Drucken Sie aus einem beliebigen Programm und wählen Sie Quillary. Eine Vorschau zeigt Ihr Dokument auf Ihrem Briefpapier; speichern Sie es als PDF (&lt;b&gt;Strg+S&lt;/b&gt;) oder drucken Sie es (&lt;b&gt;Strg+P&lt;/b&gt;).&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Shifting the content (offsets)&lt;/h3&gt;&lt;p&gt;When the document&apos;s text runs into the letterhead, select a page in the preview and click &lt;b&gt;Offset...&lt;/b&gt;. Enter how far the document&apos;s content moves, in millimetres: &lt;b&gt;x&lt;/b&gt; to the right (negative: to the left), &lt;b&gt;y&lt;/b&gt; up (negative: down). The stationery stays where it is. &lt;b&gt;Show help lines&lt;/b&gt; gives you lines to align the text with; &lt;b&gt;Enter&lt;/b&gt; accepts, &lt;b&gt;Escape&lt;/b&gt; cancels. The offset of the start page applies to page 1, that of a continuation page to all further pages.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Inhalt verschieben (Versatz)&lt;/h3&gt;&lt;p&gt;Läuft der Text des Dokuments in den Briefkopf, wählen Sie in der Vorschau eine Seite und klicken Sie auf &lt;b&gt;Versatz …&lt;/b&gt;. Geben Sie in Millimetern an, wie weit sich der Inhalt des Dokuments verschiebt: &lt;b&gt;x&lt;/b&gt; nach rechts (negativ: nach links), &lt;b&gt;y&lt;/b&gt; nach oben (negativ: nach unten). Das Briefpapier bleibt, wo es ist. &lt;b&gt;Hilfslinien zeigen&lt;/b&gt; gibt Ihnen Linien zum Ausrichten; &lt;b&gt;Eingabe&lt;/b&gt; übernimmt, &lt;b&gt;Esc&lt;/b&gt; bricht ab. Der Versatz der Startseite gilt für Seite 1, der einer Folgeseite für alle weiteren Seiten.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Passwords&lt;/h3&gt;&lt;p&gt;In the save panel, &lt;b&gt;Protect with a password&lt;/b&gt; encrypts the PDF (AES-256): it opens only with the &lt;b&gt;password&lt;/b&gt;. &lt;b&gt;Do not allow printing and copying&lt;/b&gt; adds an &lt;b&gt;owner password&lt;/b&gt;, needed to lift these restrictions; left empty, Quillary picks a random one, and the restrictions can then never be lifted. Quillary stores no password: keep it safe.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Passwörter&lt;/h3&gt;&lt;p&gt;Im Speichern-Dialog verschlüsselt &lt;b&gt;Mit einem Passwort schützen&lt;/b&gt; das PDF (AES-256): Es öffnet sich nur mit dem &lt;b&gt;Passwort&lt;/b&gt;. &lt;b&gt;Drucken und Kopieren nicht erlauben&lt;/b&gt; fügt ein &lt;b&gt;Besitzerpasswort&lt;/b&gt; hinzu, mit dem sich diese Sperren aufheben lassen; bleibt es leer, wählt Quillary ein zufälliges, und die Sperren lassen sich nie mehr aufheben. Quillary speichert kein Passwort: Bewahren Sie es gut auf.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;The command-line tool&lt;/h3&gt;&lt;p&gt;&lt;code&gt;quillary-stamp&lt;/code&gt; lays a template on documents without a window, for scripts and batches:&lt;/p&gt;&lt;pre&gt;quillary-stamp --template &quot;My template&quot; letter.pdf letter-on-paper.pdf
quillary-stamp -t &quot;My template&quot; --output-dir stamped *.pdf&lt;/pre&gt;&lt;p&gt;&lt;code&gt;--first-offset X,Y&lt;/code&gt; and &lt;code&gt;--offset X,Y&lt;/code&gt; shift the content as the offset editor does; &lt;code&gt;--password-file FILE&lt;/code&gt; encrypts the output. &lt;code&gt;quillary-stamp --help&lt;/code&gt; lists every option.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Das Kommandozeilenwerkzeug&lt;/h3&gt;&lt;p&gt;&lt;code&gt;quillary-stamp&lt;/code&gt; legt eine Vorlage ohne Fenster auf Dokumente, für Skripte und Stapel:&lt;/p&gt;&lt;pre&gt;quillary-stamp --template &quot;Meine Vorlage&quot; brief.pdf brief-auf-papier.pdf
quillary-stamp -t &quot;Meine Vorlage&quot; --output-dir gestempelt *.pdf&lt;/pre&gt;&lt;p&gt;&lt;code&gt;--first-offset X,Y&lt;/code&gt; und &lt;code&gt;--offset X,Y&lt;/code&gt; verschieben den Inhalt wie der Versatz-Editor; &lt;code&gt;--password-file DATEI&lt;/code&gt; verschlüsselt die Ausgabe. &lt;code&gt;quillary-stamp --help&lt;/code&gt; nennt alle Optionen.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;When no template fits&lt;/h3&gt;&lt;p&gt;The preview chooses the first enabled template whose start page has the document&apos;s paper format. When none has, it says &lt;i&gt;No template fits the paper format of this document&lt;/i&gt;: choose a template in the list above the pages (the stationery is then laid on as it is), or make a template in that format in the template window and enable it. When no template is enabled at all, enable one with its switch in the template window.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Wenn keine Vorlage passt&lt;/h3&gt;&lt;p&gt;Die Vorschau wählt die erste aktive Vorlage, deren Startseite das Papierformat des Dokuments hat. Hat keine es, meldet sie &lt;i&gt;Keine Vorlage passt zum Papierformat dieses Dokuments&lt;/i&gt;: Wählen Sie eine Vorlage in der Liste über den Seiten (das Briefpapier wird dann so aufgelegt, wie es ist), oder legen Sie im Vorlagenfenster eine Vorlage in diesem Format an und aktivieren Sie sie. Ist gar keine Vorlage aktiv, aktivieren Sie eine mit ihrem Schalter im Vorlagenfenster.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>quillary::OverlayScrollBar</name>
    <message>
        <source>Vertical scroll bar</source>
        <translation>Senkrechte Bildlaufleiste</translation>
    </message>
    <message>
        <source>Horizontal scroll bar</source>
        <translation>Waagerechte Bildlaufleiste</translation>
    </message>
</context>
<context>
    <name>quillary::PDFPOPupPreview</name>
    <message>
        <source>Page preview</source>
        <translation>Seitenvorschau</translation>
    </message>
</context>
<context>
    <name>quillary::PreviewController</name>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>&amp;Template:</source>
        <translation>&amp;Vorlage:</translation>
    </message>
    <message>
        <source>Stationery pages</source>
        <translation>Briefpapierseiten</translation>
    </message>
    <message>
        <source>Start page</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>Follow pages</source>
        <translation>Folgeseiten</translation>
    </message>
    <message>
        <source>Terms of Service</source>
        <translation>AGB-Seite</translation>
    </message>
    <message>
        <source>&amp;Offset...</source>
        <translation>Vers&amp;atz …</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Versatz</translation>
    </message>
    <message>
        <source>Move the content of the selected page against the stationery</source>
        <translation>Den Inhalt der gewählten Seite gegenüber dem Briefpapier verschieben</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>&amp;Drucken …</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>&amp;Save...</source>
        <translation>&amp;Speichern …</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Undefined</source>
        <translation>Unbestimmt</translation>
    </message>
    <message>
        <source>There is no enabled template. Enable one in Quillary&apos;s template window.</source>
        <translation>Es gibt keine aktive Vorlage. Aktivieren Sie eine im Vorlagenfenster von Quillary.</translation>
    </message>
    <message>
        <source>No template fits the paper format of this document. Choose one above.</source>
        <translation>Keine Vorlage passt zum Papierformat dieses Dokuments. Wählen Sie oben eine.</translation>
    </message>
    <message>
        <source>The preview could not be made: %1</source>
        <translation>Die Vorschau konnte nicht erstellt werden: %1</translation>
    </message>
    <message>
        <source>The merged document could not be read.</source>
        <translation>Das zusammengeführte Dokument konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Wird gespeichert …</translation>
    </message>
    <message>
        <source>Printing...</source>
        <translation>Wird gedruckt …</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
    <message>
        <source>Terms of Service cant moved</source>
        <translation>Die AGB-Seite lässt sich nicht verschieben</translation>
    </message>
    <message>
        <source>Can&apos;t edit Terms of Service</source>
        <translation>Die AGB-Seite wird unverändert angehängt; nur die Seiten des Dokuments lassen sich verschieben.</translation>
    </message>
    <message>
        <source>The page cannot be edited</source>
        <translation>Die Seite kann nicht bearbeitet werden</translation>
    </message>
    <message>
        <source>Offset of the first page</source>
        <translation>Versatz der ersten Seite</translation>
    </message>
    <message>
        <source>Offset of the following pages</source>
        <translation>Versatz der folgenden Seiten</translation>
    </message>
    <message>
        <source>The printer did not take the document.</source>
        <translation>Der Drucker hat das Dokument nicht angenommen.</translation>
    </message>
    <message>
        <source>The printer “%1” did not take the document.</source>
        <translation>Der Drucker „%1“ hat das Dokument nicht angenommen.</translation>
    </message>
    <message>
        <source>The document was not saved</source>
        <translation>Das Dokument wurde nicht gespeichert</translation>
    </message>
    <message>
        <source>%1 could not be saved. %2</source>
        <translation>„%1“ konnte nicht gespeichert werden. %2</translation>
    </message>
    <message>
        <source>The document was saved</source>
        <translation>Das Dokument wurde gespeichert</translation>
    </message>
    <message>
        <source>No mail program could be started. The document is saved as %1.</source>
        <translation>Es konnte kein E-Mail-Programm gestartet werden. Das Dokument ist als %1 gespeichert.</translation>
    </message>
    <message>
        <source>The document was not printed</source>
        <translation>Das Dokument wurde nicht gedruckt</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>That password does not open the document. Try again.</source>
        <translation>Dieses Passwort öffnet das Dokument nicht. Versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>No program other than Quillary is set up to open PDF files. The document is saved as %1.</source>
        <translation>Außer Quillary ist kein Programm zum Öffnen von PDF-Dateien eingerichtet. Das Dokument ist gespeichert als %1.</translation>
    </message>
    <message>
        <source>another size</source>
        <translation>ein anderes Format</translation>
    </message>
    <message>
        <source>neither DIN A4 nor US Letter</source>
        <translation>weder DIN A4 noch US Letter</translation>
    </message>
    <message>
        <source>“%1” is made for %2, this document is %3: the stationery will be cut or shifted.</source>
        <translation>„%1“ ist für %2 gemacht, dieses Dokument ist %3: Das Briefpapier wird abgeschnitten oder verschoben.</translation>
    </message>
</context>
<context>
    <name>quillary::ProgressCircle</name>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Working</source>
        <translation>In Arbeit</translation>
    </message>
</context>
<context>
    <name>quillary::SavePanelView</name>
    <message>
        <source>PDF options</source>
        <translation>PDF-Optionen</translation>
    </message>
    <message>
        <source>Protect with a password</source>
        <translation>Mit einem Passwort schützen</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Do not allow printing and copying</source>
        <translation>Drucken und Kopieren nicht erlauben</translation>
    </message>
    <message>
        <source>Owner password</source>
        <translation>Besitzerpasswort</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Author</source>
        <translation>Autor</translation>
    </message>
    <message>
        <source>Open PDF after saving</source>
        <translation>PDF nach dem Speichern öffnen</translation>
    </message>
    <message>
        <source>Attach to a new mail</source>
        <translation>An eine neue E-Mail anhängen</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Owner password:</source>
        <translation>Besitzerpasswort:</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Author:</source>
        <translation>Autor:</translation>
    </message>
    <message>
        <source>This invoice will no longer be a valid PDF/A e-invoice: %1</source>
        <translation>Diese Rechnung ist danach keine gültige PDF/A-E-Rechnung mehr: %1</translation>
    </message>
    <message>
        <source>Enter a password, or turn the protection off.</source>
        <translation>Geben Sie ein Passwort ein oder schalten Sie den Schutz aus.</translation>
    </message>
    <message>
        <source>A password cannot hold control characters or other invisible codes.</source>
        <translation>Ein Passwort darf keine Steuerzeichen oder andere unsichtbare Zeichen enthalten.</translation>
    </message>
    <message>
        <source>A password cannot mix right-to-left and left-to-right text.</source>
        <translation>Ein Passwort darf nicht Text von rechts nach links und von links nach rechts mischen.</translation>
    </message>
    <message>
        <source>This password holds only characters that are left out.</source>
        <translation>Dieses Passwort besteht nur aus Zeichen, die weggelassen werden.</translation>
    </message>
    <message>
        <source>This password is too long: at most %1 bytes are kept.</source>
        <translation>Dieses Passwort ist zu lang: Höchstens %1 Bytes werden behalten.</translation>
    </message>
    <message>
        <source>The owner password must differ from the password.</source>
        <translation>Das Eigentümerpasswort muss sich vom Passwort unterscheiden.</translation>
    </message>
    <message>
        <source>This password cannot be used.</source>
        <translation>Dieses Passwort kann nicht verwendet werden.</translation>
    </message>
</context>
<context>
    <name>quillary::SplashScreenViewController</name>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>quillary::Stepper</name>
    <message>
        <source>Up</source>
        <translation>Erhöhen</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Verringern</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateImageView</name>
    <message>
        <source>Page preview</source>
        <translation>Seitenvorschau</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateImageViewContainer</name>
    <message>
        <source>%1 drop area</source>
        <translation>Ablagefläche %1</translation>
    </message>
    <message>
        <source>Drop a PDF file here</source>
        <translation>PDF-Datei hier ablegen</translation>
    </message>
    <message>
        <source>PDF with background</source>
        <translation>PDF mit weißem Hintergrund</translation>
    </message>
    <message>
        <source>The content may not be displayed after printing because a white background has been detected</source>
        <translation>Diese Seite hat einen weißen Hintergrund: Er kann den Inhalt der darauf gedruckten Dokumente verdecken.</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateViewController</name>
    <message>
        <source>DIN A4</source>
        <translation>DIN A4</translation>
    </message>
    <message>
        <source>US Letter</source>
        <translation>US Letter</translation>
    </message>
    <message>
        <source>Undefined</source>
        <translation>Unbestimmt</translation>
    </message>
    <message>
        <source>No page</source>
        <translation>Keine Seite</translation>
    </message>
    <message>
        <source>Enabled templates are offered when you print</source>
        <translation>Aktive Vorlagen werden beim Drucken angeboten</translation>
    </message>
    <message>
        <source>On: the stationery lies behind the document&apos;s content.
Off: it is drawn over the content.</source>
        <translation>Ein: Das Briefpapier liegt hinter dem Inhalt des Dokuments.
Aus: Es wird über den Inhalt gelegt.</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Behind content</source>
        <translation>Hinter Inhalt</translation>
    </message>
    <message>
        <source>Enable %1</source>
        <translation>%1 aktivieren</translation>
    </message>
    <message>
        <source>Stationery behind content, %1</source>
        <translation>Briefpapier hinter dem Inhalt, %1</translation>
    </message>
    <message>
        <source>Start page of %1</source>
        <translation>Startseite von %1</translation>
    </message>
    <message>
        <source>Templates</source>
        <translation>Vorlagen</translation>
    </message>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>Template list</source>
        <translation>Vorlagenliste</translation>
    </message>
    <message>
        <source>No templates yet.
Click + to add one.</source>
        <translation>Noch keine Vorlagen.
Klicken Sie auf +, um eine anzulegen.</translation>
    </message>
    <message>
        <source>Add template</source>
        <translation>Vorlage hinzufügen</translation>
    </message>
    <message>
        <source>Add a template</source>
        <translation>Eine Vorlage hinzufügen</translation>
    </message>
    <message>
        <source>Delete template</source>
        <translation>Vorlage löschen</translation>
    </message>
    <message>
        <source>Delete the selected template</source>
        <translation>Die gewählte Vorlage löschen</translation>
    </message>
    <message>
        <source>Delete template?</source>
        <translation>Vorlage löschen?</translation>
    </message>
    <message>
        <source>Do you want to delete the selected template?</source>
        <translation>Möchten Sie die gewählte Vorlage löschen?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Template not deleted</source>
        <translation>Vorlage nicht gelöscht</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be deleted: %2</source>
        <translation>Die Vorlage „%1“ konnte nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <source>Template not changed</source>
        <translation>Vorlage nicht geändert</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be changed: %2</source>
        <translation>Die Vorlage „%1“ konnte nicht geändert werden: %2</translation>
    </message>
    <message>
        <source>Created on %1</source>
        <translation>Erstellt am %1</translation>
    </message>
    <message>
        <source>Updated on %1</source>
        <translation>Aktualisiert am %1</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateWindow</name>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
</context>
<context>
    <name>quillary::TourTipView</name>
    <message>
        <source>Your templates</source>
        <translation>Ihre Vorlagen</translation>
    </message>
    <message>
        <source>A new template</source>
        <translation>Eine neue Vorlage</translation>
    </message>
    <message>
        <source>Your stationery</source>
        <translation>Ihr Briefpapier</translation>
    </message>
    <message>
        <source>Enabled, and behind the content</source>
        <translation>Aktiv, und hinter dem Inhalt</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Every template you keep is listed here. Click one to edit it in the assistant on the right.</source>
        <translation>Hier stehen alle Ihre Vorlagen. Klicken Sie auf eine, um sie im Assistenten rechts zu bearbeiten.</translation>
    </message>
    <message>
        <source>Click + to start a new template. − deletes the template that is selected.</source>
        <translation>Klicken Sie auf +, um eine neue Vorlage anzulegen. − löscht die gewählte Vorlage.</translation>
    </message>
    <message>
        <source>Drop your letterhead PDF on the start page, or click + below a page. The other two pages are optional; the guide on the left shows how.</source>
        <translation>Ziehen Sie Ihr Briefkopf-PDF auf die Startseite oder klicken Sie auf + unter einer Seite. Die beiden anderen Seiten sind freiwillig; die Anleitung links zeigt, wie es geht.</translation>
    </message>
    <message>
        <source>Only enabled templates are offered when you print. &quot;Behind content&quot; lays the stationery behind the text of your document; off, it is drawn over it.</source>
        <translation>Beim Drucken werden nur aktive Vorlagen angeboten. „Hinter Inhalt“ legt das Briefpapier hinter den Text Ihres Dokuments; ausgeschaltet wird es darübergelegt.</translation>
    </message>
    <message>
        <source>Name the template and save it. The first save also makes Quillary a printer: print from any program, choose Quillary, and your stationery is laid onto the document.</source>
        <translation>Benennen und speichern Sie die Vorlage. Das erste Speichern macht Quillary auch zum Drucker: Drucken Sie aus einem beliebigen Programm, wählen Sie Quillary, und Ihr Briefpapier wird auf das Dokument gelegt.</translation>
    </message>
    <message>
        <source>Tour tip %1 of %2</source>
        <translation>Tipp %1 von %2 der Einführung</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Close tour tip</source>
        <translation>Tipp schließen</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Next tour tip</source>
        <translation>Nächster Tipp</translation>
    </message>
</context>
<context>
    <name>quillary::Updater</name>
    <message>
        <source>Search updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Updates for Quillary come with your system&apos;s packages.</source>
        <translation>Updates für Quillary kommen mit den Paketen Ihres Systems.</translation>
    </message>
    <message>
        <source>The update information could not be read: %1</source>
        <translation>Die Update-Informationen konnten nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>A new version is available</source>
        <translation>Eine neue Version ist verfügbar</translation>
    </message>
    <message>
        <source>Quillary %1 is available.</source>
        <translation>Quillary %1 ist verfügbar.</translation>
    </message>
    <message>
        <source>Quillary %1 is available at %2.</source>
        <translation>Quillary %1 ist unter %2 verfügbar.</translation>
    </message>
    <message>
        <source>Quillary is up to date</source>
        <translation>Quillary ist aktuell</translation>
    </message>
    <message>
        <source>Version %1 is the newest version.</source>
        <translation>Version %1 ist die neueste Version.</translation>
    </message>
</context>
<context>
    <name>quillary::VideoGuide</name>
    <message>
        <source>Video guide</source>
        <translation>Videoanleitung</translation>
    </message>
    <message>
        <source>The video guide is not installed. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>Die Videoanleitung ist nicht installiert. Ziehen Sie Ihr Briefkopf-PDF auf die Startseite oder klicken Sie unten auf eine Seite, um eine Datei zu wählen.</translation>
    </message>
    <message>
        <source>Videos cannot be played on this system. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>Auf diesem System lassen sich keine Videos abspielen. Ziehen Sie Ihr Briefkopf-PDF auf die Startseite oder klicken Sie unten auf eine Seite, um eine Datei zu wählen.</translation>
    </message>
    <message>
        <source>How a letterhead is put into the page slots</source>
        <translation>Wie ein Briefkopf in die Seitenfelder kommt</translation>
    </message>
    <message>
        <source>The video guide cannot be played. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>Die Videoanleitung lässt sich nicht abspielen. Ziehen Sie Ihr Briefkopf-PDF auf die Startseite oder klicken Sie unten auf eine Seite, um eine Datei zu wählen.</translation>
    </message>
    <message>
        <source>quillary.mp4</source>
        <extracomment>File name of the guide video in this language (German: &quot;quillary_de.mp4&quot;)</extracomment>
        <translation>quillary_de.mp4</translation>
    </message>
</context>
<context>
    <name>quillary::printer::PrintAgent</name>
    <message>
        <source>Quillary could not show the printed document “%1”: the preview stopped twice while opening it. The document was kept in %2.</source>
        <translation>Quillary konnte das gedruckte Dokument „%1“ nicht anzeigen: Die Vorschau ist beim Öffnen zweimal abgebrochen. Das Dokument wurde in %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>A printed document could not be shown</source>
        <translation>Ein gedrucktes Dokument konnte nicht angezeigt werden</translation>
    </message>
</context>
</TS>
