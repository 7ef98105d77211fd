<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>CFilterEditWindow</name>
    <message>
        <location filename="../dialogs/cfiltereditwindow.cpp" line="+138"/>
        <source>Edit Filter</source>
        <translation>Filter bearbeiten</translation>
    </message>
    <message>
        <location line="+85"/>
        <source>group &quot;%1&quot;</source>
        <translation>Gruppe „%1“</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>user &quot;%1&quot;</source>
        <translation>Benutzer „%1“</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This machine does not know the %1. Type the numeric id instead, as the records hold it.</source>
        <translation>Dieser Rechner kennt %1 nicht. Geben Sie stattdessen die numerische ID ein, wie sie in den Einträgen steht.</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Select folder...</source>
        <translation>Ordner auswählen...</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>Wrong time range!</source>
        <translation>Ungültiger Zeitraum!</translation>
    </message>
</context>
<context>
    <name>CSettingsWindow</name>
    <message>
        <location filename="../dialogs/csettingswindow.cpp" line="+118"/>
        <source>The options could not be saved: the settings could not be written. They apply until the program ends.</source>
        <translation>Die Optionen konnten nicht gespeichert werden: die Einstellungen konnten nicht geschrieben werden. Sie gelten bis zum Programmende.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Select log dir...</source>
        <translation>Protokollordner auswählen...</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Select log file...</source>
        <translation>Protokolldatei auswählen...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>mlog files</source>
        <translation>mlog-Dateien</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Font</source>
        <translation>Schriftart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>CStringListModel</name>
    <message>
        <location filename="../results/modelsave.cpp" line="+69"/>
        <location line="+95"/>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <location line="-71"/>
        <location line="+14"/>
        <source>Cancelled.</source>
        <translation>Abgebrochen.</translation>
    </message>
    <message>
        <location line="-14"/>
        <source>A pattern is too costly to decide: %1</source>
        <translation>Ein Muster ist zu aufwendig zu entscheiden: %1</translation>
    </message>
    <message>
        <location line="+155"/>
        <location filename="../results/resultsummary.cpp" line="+625"/>
        <source>The results were closed while they were saved.</source>
        <translation>Die Ergebnisse wurden während des Speicherns geschlossen.</translation>
    </message>
</context>
<context>
    <name>CSummaryDialog</name>
    <message>
        <location filename="../dialogs/csummarydialog.cpp" line="+84"/>
        <source>Summary of %1</source>
        <translation>Zusammenfassung von %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 result rows. The top %2 of each table, the rest as &quot;other&quot;.</source>
        <translation>%1 Ergebniszeilen. Die ersten %2 jeder Tabelle, der Rest als &quot;andere&quot;.</translation>
    </message>
    <message>
        <location line="+34"/>
        <location line="+17"/>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <location line="-13"/>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Copy the selected cells, or the whole table, as tab-separated text</source>
        <translation>Die ausgewählten Zellen oder die ganze Tabelle als durch Tabulatoren getrennten Text kopieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save as CSV...</source>
        <translation>Als CSV speichern...</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>Save summary as CSV...</source>
        <translation>Zusammenfassung als CSV speichern...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Can&apos;t save file - </source>
        <translation>Datei kann nicht gespeichert werden - </translation>
    </message>
</context>
<context>
    <name>GoToTimeDialog</name>
    <message>
        <location filename="../app/gototimedialog.cpp" line="+20"/>
        <source>Go to time</source>
        <translation>Gehe zu Zeit</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Show the first row at this time or later:</source>
        <translation>Die erste Zeile zu dieser Zeit oder später anzeigen:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Local time such as 2026-12-07 15:00:00 or 2026-12-07T15:00, a date alone, or a time with Z or an offset such as +01:00.</source>
        <translation>Ortszeit wie 2026-12-07 15:00:00 oder 2026-12-07T15:00, ein Datum allein oder eine Zeit mit Z oder einem Versatz wie +01:00.</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>Type a time to go to.</source>
        <translation>Geben Sie eine Zeit ein, zu der gegangen werden soll.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&quot;%1&quot; is not a time. Type a date and time such as %2.</source>
        <translation>&quot;%1&quot; ist keine Zeit. Geben Sie Datum und Uhrzeit ein, etwa %2.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <location filename="../app/filterdescription.cpp" line="+18"/>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+15"/>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Group</source>
        <translation>Gruppe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Files and dirs</source>
        <translation>Dateien und Ordner</translation>
    </message>
    <message>
        <location filename="../dialogs/ceventmodel.cpp" line="+12"/>
        <source>Select events</source>
        <translation>Ereignisse auswählen</translation>
    </message>
    <message>
        <location filename="../filter/filtermatch.cpp" line="+315"/>
        <source>success</source>
        <translation>Erfolg</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>refuse</source>
        <translation>Ablehnung</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+11"/>
        <source>user</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>user process</source>
        <translation>Benutzerprozess</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>file</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>custom</source>
        <translation>Benutzerdefiniert</translation>
    </message>
    <message>
        <location filename="../log/eventcatalogue.cpp" line="-13"/>
        <source>for audit</source>
        <translation>für das Audit</translation>
    </message>
</context>
<context>
    <name>ResultSummary</name>
    <message>
        <location filename="../results/resultsummary.cpp" line="-403"/>
        <source>(none)</source>
        <translation>(keiner)</translation>
    </message>
    <message>
        <location line="+69"/>
        <source>other</source>
        <translation>andere</translation>
    </message>
    <message>
        <location line="+72"/>
        <source>Users</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Events</source>
        <translation>Ereignisse</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+17"/>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <location line="-15"/>
        <source>Refusals by user</source>
        <translation>Ablehnungen nach Benutzer</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+6"/>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <location line="-6"/>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+4"/>
        <source>Records</source>
        <translation>Einträge</translation>
    </message>
    <message>
        <location line="-8"/>
        <location line="+2"/>
        <location line="+4"/>
        <location line="+2"/>
        <source>Refusals</source>
        <translation>Ablehnungen</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Hour</source>
        <translation>Stunde</translation>
    </message>
    <message>
        <location line="+121"/>
        <source>More than %1 different keys: each count may be up to %2 too low, &quot;other&quot; holds the rest.</source>
        <translation>Mehr als %1 verschiedene Schlüssel: jede Zahl kann bis zu %2 zu niedrig sein, &quot;andere&quot; enthält den Rest.</translation>
    </message>
</context>
<context>
    <name>SaveTarget</name>
    <message>
        <location filename="../results/savetarget.cpp" line="+177"/>
        <source>%1; the file is incomplete, the whole result is in %2</source>
        <translation>%1; die Datei ist unvollständig, das ganze Ergebnis steht in %2</translation>
    </message>
</context>
<context>
    <name>TimeBuckets</name>
    <message>
        <location filename="../results/timebuckets.cpp" line="+132"/>
        <source>%1 d</source>
        <translation>%1 d</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>TimelineStrip</name>
    <message>
        <location filename="../app/timelinestrip.cpp" line="+58"/>
        <source>Time line of the results</source>
        <translation>Zeitleiste der Ergebnisse</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Rows over time, refusals in red. Click: go to that time; drag: mark a time range; Edit &gt; Go to time... does the same from the keyboard.</source>
        <translation>Zeilen im Zeitverlauf, Ablehnungen in Rot. Klick: zu dieser Zeit gehen; Ziehen: einen Zeitraum markieren; Bearbeiten &gt; Gehe zu Zeit... erledigt dasselbe mit der Tastatur.</translation>
    </message>
    <message>
        <location line="+179"/>
        <source>%1 to %2
%3 rows, %4 of them refused</source>
        <translation>%1 bis %2
%3 Zeilen, davon %4 abgelehnt</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>1 bar = %1</source>
        <translation>1 Balken = %1</translation>
    </message>
    <message>
        <location line="+175"/>
        <source>Show only this time range</source>
        <translation>Nur diesen Zeitraum anzeigen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear the marked range</source>
        <translation>Markierten Zeitraum aufheben</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Logarithmic scale</source>
        <translation>Logarithmische Skala</translation>
    </message>
</context>
<context>
    <name>VrelHelpMenu</name>
    <message>
        <location filename="../platform/vrelintegration/src/vrelintegration.cpp" line="+67"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About</source>
        <translation>Über das Programm</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&lt;b&gt;%1&lt;/b&gt;&lt;br&gt;Version %2</source>
        <translation>&lt;b&gt;%1&lt;/b&gt;&lt;br&gt;Version %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>About Qt</source>
        <translation>Über Qt</translation>
    </message>
</context>
<context>
    <name>commandLine</name>
    <message>
        <location filename="../app/commandline.cpp" line="+283"/>
        <source>The settings file %1 could not be read safely; it is left as it is and not read.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht sicher gelesen werden; sie bleibt unverändert und wird nicht gelesen.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The settings file %1 could not be read safely and was set aside as %2.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht sicher gelesen werden und wurde als %2 beiseitegelegt.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Write the results to FILE (&quot;-&quot;: standard output).</source>
        <translation>Die Ergebnisse in DATEI schreiben (&quot;-&quot;: Standardausgabe).</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Saved filter to apply.</source>
        <translation>Anzuwendender gespeicherter Filter.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results from this time on.</source>
        <translation>Ergebnisse ab dieser Zeit.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results up to this time.</source>
        <translation>Ergebnisse bis zu dieser Zeit.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Print the number of matching records.</source>
        <translation>Die Zahl der passenden Einträge ausgeben.</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>Format of --export (text, csv, jsonl) or of --summary (text, csv).</source>
        <translation>Format von --export (text, csv, jsonl) oder von --summary (text, csv).</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Print the counts of the results.</source>
        <translation>Die Zählungen der Ergebnisse ausgeben.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Give one of --export, --count and --summary (see --help).</source>
        <translation>Eines von --export, --count und --summary angeben (siehe --help).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>--%1 is given more than once.</source>
        <translation>--%1 ist mehr als einmal angegeben.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>--count takes no --format.</source>
        <translation>--count nimmt kein --format.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknown format &quot;%1&quot; (see --help).</source>
        <translation>Unbekanntes Format &quot;%1&quot; (siehe --help).</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>--export needs a FILE, or &quot;-&quot; for standard output.</source>
        <translation>--export braucht eine DATEI oder &quot;-&quot; für die Standardausgabe.</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+5"/>
        <source>Not a time: &quot;%1&quot; (see --help).</source>
        <translation>Keine Zeitangabe: &quot;%1&quot; (siehe --help).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>--from is later than --to.</source>
        <translation>--from liegt nach --to.</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>No saved filter is named &quot;%1&quot;.</source>
        <translation>Kein gespeicherter Filter heißt &quot;%1&quot;.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Reading %1</source>
        <translation>%1 wird gelesen</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+19"/>
        <location line="+14"/>
        <location line="+29"/>
        <source>Interrupted.</source>
        <translation>Unterbrochen.</translation>
    </message>
    <message>
        <location line="-51"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record; nothing is written.</source>
        <translation>Das Muster &quot;%1&quot; ist für einen Eintrag zu aufwendig zu entscheiden; es wird nichts geschrieben.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Counting</source>
        <translation>Zählen</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Summing up</source>
        <translation>Zusammenfassen</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Exporting</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record; the output stops before it.</source>
        <translation>Das Muster &quot;%1&quot; ist für einen Eintrag zu aufwendig zu entscheiden; die Ausgabe endet vor ihm.</translation>
    </message>
    <message>
        <location line="-153"/>
        <location line="+7"/>
        <location line="+162"/>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <location line="-319"/>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <location line="+132"/>
        <source>Write CSV fields as they are, formulas included.</source>
        <translation>CSV-Felder unverändert schreiben, Formeln eingeschlossen.</translation>
    </message>
    <message>
        <location line="+51"/>
        <source>--csv-raw goes with CSV only (see --help).</source>
        <translation>--csv-raw gilt nur für CSV (siehe --help).</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Cannot read the log %1: %2.</source>
        <translation>Das Protokoll %1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <location line="-162"/>
        <source>Without --export, --count or --summary, the window opens, with LOG when it is given.

--export writes the results of the filter on LOG to FILE (&quot;-&quot;: standard output), in the format --format names, else the one FILE&apos;s extension (.txt, .csv, .jsonl) names, else text: the rows of Save results. A file is replaced only when written whole; one with other hard links or another owner gets the whole result copied in, and a device or a FIFO is written into. --count prints the number of matching records. --summary prints the counts by user, event, status, refusals by user and hour, the top 20 of each and the rest as &quot;other&quot;, as aligned text or, with --format csv, as CSV (each table: its title, a header row, its rows; an empty line between tables).

Several LOG files (a rotated trail) are read as one result in time order, merged by second: within one second the records of the older file (by its first record) come first, each file&apos;s records in their own order. A file that cannot be read is named and the rest are used. CSV and JSON Lines rows of several logs end with a field &quot;log&quot;, the file name of the row&apos;s log.

In CSV a field that begins with &quot;=&quot;, &quot;+&quot;, &quot;-&quot;, &quot;@&quot;, a tab or a carriage return gets a leading apostrophe, so that a spreadsheet shows it as text instead of running it as a formula; --csv-raw writes such fields as they are. Text and JSON Lines are always written as they are.

The filter is a saved filter of the window (without --filter: all records) with its time range; --from and --to replace that range. TIME is a local time such as &quot;2026-12-06 09:00&quot; or &quot;2026-12-06T09:00:00+01:00&quot;, or a date alone, which stands for its first second (--from) or its last (--to); a time to the minute stands in --to for the last second of that minute. The index files are those of the window.

Exit status: 0 done, 1 failed (unreadable log, unknown filter, a pattern too costly to decide, a write error), 2 bad arguments, 130 interrupted.
</source>
        <translation>Ohne --export, --count oder --summary öffnet sich das Fenster, mit LOG, wenn es angegeben ist.

--export schreibt die Ergebnisse des Filters auf LOG in DATEI (&quot;-&quot;: Standardausgabe), im Format, das --format nennt, sonst in dem, das die Endung von DATEI (.txt, .csv, .jsonl) nennt, sonst als Text: die Zeilen von Ergebnisse speichern. Eine Datei wird nur ersetzt, wenn sie ganz geschrieben ist; in eine mit weiteren harten Links oder einem anderen Besitzer wird das ganze Ergebnis hineinkopiert, und in ein Gerät oder eine FIFO wird direkt geschrieben. --count gibt die Zahl der passenden Einträge aus. --summary gibt die Zählungen nach Benutzer, Ereignis, Status, Ablehnungen nach Benutzer und Stunde aus, die ersten 20 von jeder und den Rest als &quot;andere&quot;, als ausgerichteten Text oder, mit --format csv, als CSV (jede Tabelle: ihr Titel, eine Kopfzeile, ihre Zeilen; eine Leerzeile zwischen den Tabellen).

Mehrere LOG-Dateien (eine rotierte Spur) werden als ein Ergebnis in zeitlicher Reihenfolge gelesen, nach Sekunden zusammengeführt: innerhalb einer Sekunde kommen zuerst die Einträge der älteren Datei (nach ihrem ersten Eintrag), die Einträge jeder Datei in ihrer eigenen Reihenfolge. Eine Datei, die nicht gelesen werden kann, wird genannt, und die übrigen werden verwendet. Zeilen mehrerer Protokolle enden in CSV und JSON Lines mit einem Feld &quot;log&quot;, dem Dateinamen des Protokolls der Zeile.

In CSV erhält ein Feld, das mit &quot;=&quot;, &quot;+&quot;, &quot;-&quot;, &quot;@&quot;, einem Tabulator oder einem Wagenrücklauf beginnt, einen vorangestellten Apostroph, damit eine Tabellenkalkulation es als Text zeigt, statt es als Formel auszuführen; --csv-raw schreibt solche Felder unverändert. Text und JSON Lines werden immer unverändert geschrieben.

Der Filter ist ein gespeicherter Filter des Fensters (ohne --filter: alle Einträge) mit seinem Zeitraum; --from und --to ersetzen diesen Zeitraum. TIME ist eine Ortszeit wie &quot;2026-12-06 09:00&quot; oder &quot;2026-12-06T09:00:00+01:00&quot; oder ein Datum allein, das für seine erste (--from) oder letzte Sekunde (--to) steht; eine Zeit auf die Minute steht in --to für die letzte Sekunde dieser Minute. Die Indexdateien sind die des Fensters.

Rückgabewert: 0 erledigt, 1 fehlgeschlagen (Protokoll nicht lesbar, unbekannter Filter, ein zu aufwendiges Muster, ein Schreibfehler), 2 falsche Argumente, 130 unterbrochen.
</translation>
    </message>
    <message>
        <location line="+168"/>
        <source>None of the logs can be read.</source>
        <translation>Keines der Protokolle kann gelesen werden.</translation>
    </message>
    <message>
        <location line="-50"/>
        <source>Give a LOG, or several LOG files of one trail (see --help).</source>
        <translation>Ein LOG oder mehrere LOG-Dateien einer Spur angeben (siehe --help).</translation>
    </message>
</context>
<context>
    <name>dateTimeDialog</name>
    <message>
        <location filename="../dialogs/datetimedialog.ui" line="+14"/>
        <source>Set date range</source>
        <translation>Zeitraum festlegen</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+20"/>
        <source>dd.MM.yyyy HH:mm:ss</source>
        <translation>dd.MM.yyyy HH:mm:ss</translation>
    </message>
    <message>
        <location line="-7"/>
        <source>To:</source>
        <translation>Bis:</translation>
    </message>
</context>
<context>
    <name>filterDialog</name>
    <message>
        <location filename="../dialogs/filterdialog.ui" line="+14"/>
        <source>Edit filter</source>
        <translation>Filter bearbeiten</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Date:</source>
        <translation>Zeitraum:</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>State:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Refuse</source>
        <translation>Abgelehnt</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Success</source>
        <translation>Erfolgreich</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Source:</source>
        <translation>Quelle:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Process</source>
        <translation>Prozess</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Other</source>
        <translation>Andere</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Clear the folder</source>
        <translation>Gewählten Ordner entfernen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Clear</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Select files to filter</source>
        <translation>Dateien zum Filtern auswählen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Files...</source>
        <translation>Dateien...</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Type users and groups lists using &quot;,&quot;</source>
        <translation>Mehrere Benutzer und Gruppen durch &quot;,&quot; trennen</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Group:</source>
        <translation>Gruppe:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>User:</source>
        <translation>Benutzer:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Parameters:</source>
        <translation>Parameter:</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Provide additional parameters (files, dirs, paths, custom strings and etc.)
Any text may place here, anything that may be in log file</source>
        <translation>Weitere Parameter angeben (Dateien, Ordner, Pfade, eigene Zeichenketten usw.)
Hier darf jeder Text stehen, der in einer Protokolldatei vorkommen kann</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Event:</source>
        <translation>Ereignis:</translation>
    </message>
</context>
<context>
    <name>filterNameDialog</name>
    <message>
        <location filename="../app/filternamedialog.ui" line="+14"/>
        <source>Filter name to save</source>
        <translation>Filter speichern unter</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../app/commandline.cpp" line="-51"/>
        <location filename="../app/main.cpp" line="+39"/>
        <source>Viewer for binary security audit logs.</source>
        <translation>Betrachter für binäre Audit-Protokolle des Sicherheitssubsystems.</translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../app/main.cpp" line="+4"/>
        <source>Audit log to open at start.</source>
        <translation>Audit-Protokoll, das beim Start geöffnet wird.</translation>
    </message>
</context>
<context>
    <name>mainWindow</name>
    <message>
        <location filename="../app/mainwindow.ui" line="+14"/>
        <source>View audit</source>
        <translation>Audit ansehen</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Filter info</source>
        <translation>Filterinfo</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Log files</source>
        <translation>Protokolldateien</translation>
    </message>
    <message>
        <location line="+24"/>
        <location line="+3"/>
        <source>Log files list</source>
        <translation>Liste der Protokolldateien</translation>
    </message>
    <message>
        <location line="+31"/>
        <location line="+202"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="-197"/>
        <source>First record date</source>
        <translation>Erster Eintrag</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Last record date</source>
        <translation>Letzter Eintrag</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <location line="+31"/>
        <location line="+435"/>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location line="-400"/>
        <location line="+3"/>
        <source>Find string in current tab</source>
        <translation>Text im aktuellen Tab suchen</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+3"/>
        <source>Find previous in current tab</source>
        <translation>Im aktuellen Tab rückwärts suchen</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Shift+F3</source>
        <translation>Shift+F3</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+3"/>
        <source>Find next in current tab</source>
        <translation>Im aktuellen Tab weitersuchen</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>F3</source>
        <translation>F3</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+3"/>
        <source>Upper and lower case must match</source>
        <translation>Groß- und Kleinschreibung müssen übereinstimmen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Match case</source>
        <translation>Groß-/Kleinschreibung</translation>
    </message>
    <message>
        <location line="+63"/>
        <source>View</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../app/mainwindow.cpp" line="+215"/>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>toolBar_2</source>
        <translation>Filterleiste</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open together...</source>
        <translation>Zusammen öffnen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open several log files as one, in time order</source>
        <translation>Mehrere Protokolldateien als eine öffnen, in zeitlicher Reihenfolge</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Open...</source>
        <translation>Öffnen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open log file</source>
        <translation>Protokolldatei öffnen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Options...</source>
        <translation>Optionen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show program options</source>
        <translation>Programmoptionen anzeigen</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Apply current filter and show results in current tab</source>
        <translation>Aktuellen Filter anwenden und die Ergebnisse im aktuellen Tab zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show Filter</source>
        <translation>Filter anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show filter info panel</source>
        <translation>Bereich Filterinfo anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Shift+F</source>
        <translation>Shift+F</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show Files</source>
        <translation>Dateien anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show log files panel</source>
        <translation>Bereich Protokolldateien anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Alt+F</source>
        <translation>Alt+F</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Edit...</source>
        <translation>Bearbeiten...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Edit current filter settings</source>
        <translation>Einstellungen des aktuellen Filters bearbeiten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+E</source>
        <translation>Ctrl+E</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+88"/>
        <source>Save...</source>
        <translation>Speichern...</translation>
    </message>
    <message>
        <location line="-85"/>
        <location line="+3"/>
        <source>Save current filter</source>
        <translation>Aktuellen Filter speichern</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Delete...</source>
        <translation>Löschen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Delete current filter</source>
        <translation>Aktuellen Filter löschen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Del</source>
        <translation>Ctrl+Del</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Refresh log files panel</source>
        <translation>Liste der Protokolldateien aktualisieren</translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+3"/>
        <source>Show find string panel</source>
        <translation>Suchleiste anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>New tab</source>
        <translation>Neuer Tab</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open new tab</source>
        <translation>Neuen Tab öffnen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+T</source>
        <translation>Ctrl+T</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Save results in current tab to file</source>
        <translation>Ergebnisse des aktuellen Tabs in eine Datei speichern</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Shift+S</source>
        <translation>Ctrl+Shift+S</translation>
    </message>
    <message>
        <location filename="../app/filterdescription.cpp" line="+68"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+2"/>
        <location filename="../app/markcontrol.cpp" line="+140"/>
        <source>Time</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <location filename="../app/commandline.cpp" line="-121"/>
        <location filename="../app/mainwindow.cpp" line="-121"/>
        <source>default</source>
        <translation>Standardfilter</translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+1"/>
        <source>Any time</source>
        <translation>Gesamter Zeitraum</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 5 minutes</source>
        <translation>Letzte 5 Minuten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 60 minutes</source>
        <translation>Letzte 60 Minuten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 12 hours</source>
        <translation>Letzte 12 Stunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 24 hours</source>
        <translation>Letzte 24 Stunden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 7 days</source>
        <translation>Letzte 7 Tage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 30 days</source>
        <translation>Letzte 30 Tage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set range...</source>
        <translation>Zeitraum festlegen...</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Vrel View Audit</source>
        <translation>Vrel View Audit</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The folder %1 for the index files could not be made or written: every log is scanned in full whenever it is read.</source>
        <translation>Der Ordner %1 für die Indexdateien konnte nicht angelegt oder beschrieben werden: jedes Protokoll wird bei jedem Lesen vollständig durchsucht.</translation>
    </message>
    <message>
        <location line="+18"/>
        <location line="+1"/>
        <source>Current filter</source>
        <translation>Aktueller Filter</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Show main toolbar</source>
        <translation>Hauptwerkzeugleiste anzeigen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show filter toolbar</source>
        <translation>Filterleiste anzeigen</translation>
    </message>
    <message>
        <location line="+157"/>
        <source>filter changed: Apply to refresh</source>
        <translation>Filter geändert: zum Aktualisieren anwenden</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Another process in progress.</source>
        <translation>Ein anderer Vorgang läuft noch.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Please, wait for finished!</source>
        <translation>Bitte warten Sie, bis er beendet ist!</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Busy: the tab stays open until the current operation ends.</source>
        <translation>Beschäftigt: Der Tab bleibt offen, bis der laufende Vorgang endet.</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Busy: the current tab stays until the current operation ends.</source>
        <translation>Beschäftigt: Der aktuelle Tab bleibt, bis der laufende Vorgang endet.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_settings.cpp" line="+30"/>
        <source>The program goes on with default settings; the filters in the filter selector stay until it ends.</source>
        <translation>Das Programm arbeitet mit Standardeinstellungen weiter; die Filter in der Filterauswahl bleiben bis zum Programmende erhalten.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The settings file %1 could not be read safely, nor be set aside: it is left as it is, and this session keeps its settings elsewhere.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht sicher gelesen und auch nicht beiseitegelegt werden: Sie bleibt unverändert, und diese Sitzung hält ihre Einstellungen an anderer Stelle.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The settings file %1 could not be read safely and was set aside as %2.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht sicher gelesen werden und wurde als %2 beiseitegelegt.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>The settings file %1 could not be written: the recent files and the window state are not kept beyond this session.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht geschrieben werden: die zuletzt geöffneten Dateien und der Fensterzustand gehen am Ende dieser Sitzung verloren.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+57"/>
        <source>The program starts with default settings.</source>
        <translation>Das Programm startet mit den Standardeinstellungen.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_filters.cpp" line="+128"/>
        <location filename="../app/rowactions.cpp" line="+238"/>
        <location filename="../app/timelinecontrol.cpp" line="+111"/>
        <source>modified</source>
        <translation>geändert</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Can&apos;t save default or empty name filter!</source>
        <translation>Der Standardfilter und Filter ohne Namen können nicht gespeichert werden!</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Filter entries must not contain &quot;::&quot;, &quot;;;&quot; or &quot;##&quot;, end with &quot;#&quot; or &quot;;&quot; where another entry follows, or be empty; found: %1.</source>
        <translation>Filtereinträge dürfen weder &quot;::&quot;, &quot;;;&quot; oder &quot;##&quot; enthalten noch mit &quot;#&quot; oder &quot;;&quot; enden, wenn ein weiterer Eintrag folgt, noch leer sein; gefunden: %1.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The filter could not be saved: the settings could not be written.</source>
        <translation>Der Filter konnte nicht gespeichert werden: Die Einstellungen ließen sich nicht schreiben.</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Can&apos;t delete default filter!</source>
        <translation>Der Standardfilter kann nicht gelöscht werden!</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Delete saved filter?</source>
        <translation>Gespeicherten Filter löschen?</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The filter could not be deleted: the settings could not be written.</source>
        <translation>Der Filter konnte nicht gelöscht werden: die Einstellungen konnten nicht geschrieben werden.</translation>
    </message>
    <message>
        <location line="-51"/>
        <source>The filter cannot be saved: it would read back as another filter.</source>
        <translation>Der Filter kann nicht gespeichert werden: Er würde als ein anderer Filter wieder eingelesen.</translation>
    </message>
    <message>
        <location line="-107"/>
        <source>The stored value of this filter could not be read: it may match every record.</source>
        <translation>Der gespeicherte Wert dieses Filters konnte nicht gelesen werden: Er trifft womöglich auf jeden Eintrag zu.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The saved filter &quot;%1&quot; could not be read: it may match every record until it is edited and saved again.</source>
        <translation>Der gespeicherte Filter „%1“ konnte nicht gelesen werden: Er trifft womöglich auf jeden Eintrag zu, bis er bearbeitet und erneut gespeichert wird.</translation>
    </message>
    <message>
        <location line="+98"/>
        <source>A filter name must not contain %1.</source>
        <translation>Ein Filtername darf %1 nicht enthalten.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_logs.cpp" line="+39"/>
        <source>Select file...</source>
        <translation>Datei auswählen...</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../app/mainwindow_sets.cpp" line="+112"/>
        <source>mlog files</source>
        <translation>mlog-Dateien</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Can&apos;t open file - </source>
        <translation>Datei kann nicht geöffnet werden - </translation>
    </message>
    <message>
        <location line="+30"/>
        <source>You are trying to load a %1 log with an available memory of %2.
Parsing this file can take a lot of time.
This application can be killed by OS if the available memory is exceeded.
Do you want to continue?</source>
        <translation>Sie laden ein Protokoll von %1, während %2 Arbeitsspeicher verfügbar sind.
Das Einlesen dieser Datei kann lange dauern.
Das Betriebssystem kann das Programm beenden, wenn der verfügbare Speicher überschritten wird.
Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Large file size</source>
        <translation>Große Datei</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No entries found!</source>
        <translation>Keine Einträge gefunden!</translation>
    </message>
    <message>
        <location line="+36"/>
        <location filename="../app/mainwindow_sets.cpp" line="-56"/>
        <location line="+69"/>
        <source>Processing read file</source>
        <translation>Datei wird gelesen</translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="+325"/>
        <location filename="../app/mainwindow_logs.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+81"/>
        <location filename="../app/mainwindow_sets.cpp" line="+0"/>
        <source>Cancel current log processing</source>
        <translation>Verarbeitung des Protokolls abbrechen</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_logs.cpp" line="+10"/>
        <location filename="../app/mainwindow_sets.cpp" line="+34"/>
        <source>Read finished!</source>
        <translation>Lesen beendet!</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../app/mainwindow_sets.cpp" line="-17"/>
        <source>Read cancelled.</source>
        <translation>Lesen abgebrochen.</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>kb</source>
        <translation>KB</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>mb</source>
        <translation>MB</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>gb</source>
        <translation>GB</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>bytes</source>
        <translation>Byte</translation>
    </message>
    <message numerus="yes">
        <location line="+64"/>
        <source>... and %n more</source>
        <translation>
            <numerusform>... und %n weiteres</numerusform>
            <numerusform>... und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t open these logs of %1:</source>
        <translation>Diese Protokolle in %1 können nicht geöffnet werden:</translation>
    </message>
    <message>
        <location line="+23"/>
        <location line="+13"/>
        <source>&lt;Unknown&gt;</source>
        <translation>&lt;Unbekannt&gt;</translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+0"/>
        <source>Processing results</source>
        <translation>Ergebnisse werden ermittelt</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+70"/>
        <source>Finished!</source>
        <translation>Fertig!</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Filter run cancelled.</source>
        <translation>Filterlauf abgebrochen.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Filter run stopped.</source>
        <translation>Filterlauf vorzeitig beendet.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record, so the operation stopped at that record; the rows found before it are kept.</source>
        <translation>Das Muster &quot;%1&quot; ist für einen Eintrag zu aufwendig zu entscheiden; der Vorgang wurde bei diesem Eintrag angehalten. Die zuvor gefundenen Zeilen bleiben erhalten.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="-283"/>
        <location filename="../app/mainwindow_results.cpp" line="+48"/>
        <location line="+2"/>
        <source>Nothing to find!</source>
        <translation>Keine Ergebnisse zum Durchsuchen!</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+23"/>
        <source>Busy: nothing was searched; find again once the current operation ends.</source>
        <translation>Beschäftigt: Es wurde nicht gesucht; suchen Sie erneut, wenn der laufende Vorgang beendet ist.</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>Finding</source>
        <translation>Suche</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel the search</source>
        <translation>Suche abbrechen</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Find cancelled.</source>
        <translation>Suche abgebrochen.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>End of log reached! Found nothing else.</source>
        <translation>Ende des Protokolls erreicht! Nichts weiter gefunden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Begin of log reached! Found nothing else.</source>
        <translation>Anfang des Protokolls erreicht! Nichts weiter gefunden.</translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+2"/>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+25"/>
        <location line="+12"/>
        <source>Nothing to save!</source>
        <translation>Nichts zu speichern!</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Select file to save...</source>
        <translation>Datei zum Speichern auswählen...</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Text (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JSON Lines (*.jsonl)</source>
        <translation>JSON Lines (*.jsonl)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>File not saved!</source>
        <translation>Datei nicht gespeichert!</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>CSV</source>
        <translation>CSV</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JSON Lines</source>
        <translation>JSON Lines</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>text</source>
        <translation>Text</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Saving results</source>
        <translation>Ergebnisse werden gespeichert</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel saving operation</source>
        <translation>Speichern abbrechen</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Can&apos;t save file - </source>
        <translation>Datei kann nicht gespeichert werden - </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Saving stopped: %1 holds the rows found before the record, as %2.</source>
        <translation>Speichern angehalten: %1 enthält die vor diesem Eintrag gefundenen Zeilen, als %2.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Saving cancelled: %1 holds the rows of the blocks saved, as %2.</source>
        <translation>Speichern abgebrochen: %1 enthält die Zeilen der bereits gespeicherten Blöcke, als %2.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results saved as %1: %2</source>
        <translation>Ergebnisse als %1 gespeichert: %2</translation>
    </message>
    <message>
        <location filename="../app/mainwindow_state.cpp" line="+50"/>
        <source>Open file: </source>
        <translation>Datei öffnen: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Alt+</source>
        <translation>Alt+</translation>
    </message>
    <message>
        <location filename="../app/rowcountcontrol.cpp" line="+29"/>
        <source>Rows so far: %1</source>
        <translation>Bisher Zeilen: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rows: %1</source>
        <translation>Zeilen: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rows: %1, stopped early</source>
        <translation>Zeilen: %1, vorzeitig beendet</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Rows: %1, stopped at %2</source>
        <translation>Zeilen: %1, beendet bei %2</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>(stopped)</source>
        <translation>(abgebrochen)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>No records matched before the run stopped.</source>
        <translation>Bis zum Abbruch des Laufs passte kein Eintrag.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No records match the filter</source>
        <translation>Keine Einträge passen zum Filter</translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="-286"/>
        <source>Follow log</source>
        <translation>Protokoll verfolgen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show new records of the open log as they are written</source>
        <translation>Neue Einträge des geöffneten Protokolls zeigen, sobald sie geschrieben werden</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Go to the last row</source>
        <translation>Zur letzten Zeile gehen</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>Following the log: new records are added as they are written.</source>
        <translation>Das Protokoll wird verfolgt: neue Einträge kommen hinzu, sobald sie geschrieben werden.</translation>
    </message>
    <message>
        <location line="+178"/>
        <source>Logs no longer found in their folders left the tab; it shows: %1</source>
        <translation>Protokolle, die in ihren Ordnern nicht mehr zu finden sind, sind nicht mehr im Tab; er zeigt: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The tab&apos;s logs were rotated; it shows: %1</source>
        <translation>Die Protokolle des Tabs wurden rotiert; er zeigt: %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The log %1 is another file now and was read anew.</source>
        <translation>Das Protokoll %1 ist jetzt eine andere Datei und wurde neu eingelesen.</translation>
    </message>
    <message numerus="yes">
        <location line="+107"/>
        <source>%n new rows below</source>
        <translation>
            <numerusform>%n neue Zeile darunter</numerusform>
            <numerusform>%n neue Zeilen darunter</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app/timelinecontrol.cpp" line="-86"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Go to time...</source>
        <translation>Gehe zu Zeit...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show the first row of the current tab at a time or later</source>
        <translation>Die erste Zeile des aktuellen Tabs zu oder nach einer Zeit anzeigen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show time line</source>
        <translation>Zeitleiste anzeigen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show the rows of each result tab over time above them</source>
        <translation>Die Zeilen jedes Ergebnis-Tabs im Zeitverlauf darüber anzeigen</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>The current tab has no rows.</source>
        <translation>Der aktuelle Tab hat keine Zeilen.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>The current tab has no row at %1 or later.</source>
        <translation>Der aktuelle Tab hat keine Zeile um %1 oder später.</translation>
    </message>
    <message>
        <location filename="../app/summarycontrol.cpp" line="+21"/>
        <source>Results</source>
        <translation>Ergebnisse</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Summary...</source>
        <translation>Zusammenfassung...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Counts of the current tab&apos;s results by user, event, status and hour</source>
        <translation>Zählungen der Ergebnisse des aktuellen Reiters nach Benutzer, Ereignis, Status und Stunde</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Nothing to sum up!</source>
        <translation>Nichts zusammenzufassen!</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Summing up results</source>
        <translation>Ergebnisse werden zusammengefasst</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel the summary</source>
        <translation>Zusammenfassung abbrechen</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Summary cancelled.</source>
        <translation>Zusammenfassung abgebrochen.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>No summary: %1</source>
        <translation>Keine Zusammenfassung: %1</translation>
    </message>
    <message>
        <location filename="../app/markcontrol.cpp" line="-14"/>
        <source>Not a row of the current result</source>
        <translation>Keine Zeile des aktuellen Ergebnisses</translation>
    </message>
    <message>
        <location line="+14"/>
        <location filename="../app/rowactions.cpp" line="-183"/>
        <source>Row</source>
        <translation>Zeile</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Mark row</source>
        <translation>Zeile markieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mark the current row, or take its mark away</source>
        <translation>Die aktuelle Zeile markieren oder ihre Markierung entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Next mark</source>
        <translation>Nächste Markierung</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show the next marked row</source>
        <translation>Die nächste markierte Zeile zeigen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Previous mark</source>
        <translation>Vorige Markierung</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show the previous marked row</source>
        <translation>Die vorige markierte Zeile zeigen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Marks...</source>
        <translation>Markierungen...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>List the marked rows of the current log</source>
        <translation>Die markierten Zeilen des aktuellen Protokolls auflisten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save marked rows...</source>
        <translation>Markierte Zeilen speichern...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save the marked rows of the current tab to file</source>
        <translation>Die markierten Zeilen des aktuellen Reiters in eine Datei speichern</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>No row to mark</source>
        <translation>Keine Zeile zum Markieren</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>Marks are not available for logs opened together</source>
        <translation>Markierungen sind für zusammen geöffnete Protokolle nicht verfügbar</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>This row cannot be marked</source>
        <translation>Diese Zeile kann nicht markiert werden</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Row marked</source>
        <translation>Zeile markiert</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Mark removed</source>
        <translation>Markierung entfernt</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>No marks in this result</source>
        <translation>Keine Markierungen in diesem Ergebnis</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>No mark below this row</source>
        <translation>Keine Markierung unterhalb dieser Zeile</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No mark above this row</source>
        <translation>Keine Markierung oberhalb dieser Zeile</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Mark %1 of %2</source>
        <translation>Markierung %1 von %2</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The marked row is not in this result</source>
        <translation>Die markierte Zeile ist nicht in diesem Ergebnis</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>Marks</source>
        <translation>Markierungen</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>No marked rows to save!</source>
        <translation>Keine markierten Zeilen zum Speichern!</translation>
    </message>
    <message>
        <location filename="../app/filterdescription.cpp" line="+21"/>
        <source>Hidden statuses</source>
        <translation>Ausgeblendete Status</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden sources</source>
        <translation>Ausgeblendete Quellen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden events</source>
        <translation>Ausgeblendete Ereignisse</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden groups</source>
        <translation>Ausgeblendete Gruppen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden users</source>
        <translation>Ausgeblendete Benutzer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden parameters</source>
        <translation>Ausgeblendete Parameter</translation>
    </message>
    <message>
        <location filename="../app/rowactions.cpp" line="-18"/>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Copy the chosen rows as the rows of Save results</source>
        <translation>Die gewählten Zeilen so kopieren, wie Ergebnisse speichern sie schreibt</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Copy as CSV</source>
        <translation>Als CSV kopieren</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Copy as JSON Lines</source>
        <translation>Als JSON Lines kopieren</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Show this second</source>
        <translation>Nur diese Sekunde zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show from here</source>
        <translation>Ab hier zeigen</translation>
    </message>
    <message>
        <location line="+106"/>
        <source>Hide user %1</source>
        <translation>Benutzer %1 ausblenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only user %1</source>
        <translation>Nur Benutzer %1 zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide event %1</source>
        <translation>Ereignis %1 ausblenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only event %1</source>
        <translation>Nur Ereignis %1 zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide group %1</source>
        <translation>Gruppe %1 ausblenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only group %1</source>
        <translation>Nur Gruppe %1 zeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide source %1</source>
        <translation>Quelle %1 ausblenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only source %1</source>
        <translation>Nur Quelle %1 zeigen</translation>
    </message>
    <message>
        <location line="+100"/>
        <source>No rows chosen to copy.</source>
        <translation>Keine Zeilen zum Kopieren gewählt.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Copying rows</source>
        <translation>Zeilen werden kopiert</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel copying</source>
        <translation>Kopieren abbrechen</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The results were closed while they were copied: nothing was put on the clipboard.</source>
        <translation>Die Ergebnisse wurden beim Kopieren geschlossen: nichts wurde in die Zwischenablage gelegt.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Too many rows to copy: their text would pass 1 GiB; nothing was put on the clipboard. Save results writes them to a file.</source>
        <translation>Zu viele Zeilen zum Kopieren: ihr Text wäre größer als 1 GiB; nichts wurde in die Zwischenablage gelegt. Ergebnisse speichern schreibt sie in eine Datei.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Copy stopped: nothing was put on the clipboard.</source>
        <translation>Kopieren angehalten: nichts wurde in die Zwischenablage gelegt.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Copy cancelled: nothing was put on the clipboard.</source>
        <translation>Kopieren abgebrochen: nichts wurde in die Zwischenablage gelegt.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Rows copied: %1</source>
        <translation>Zeilen kopiert: %1</translation>
    </message>
    <message numerus="yes">
        <location filename="../app/mainwindow_sets.cpp" line="-63"/>
        <source>%1 + %n more</source>
        <translation>
            <numerusform>%1 + %n weitere</numerusform>
            <numerusform>%1 + %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open together</source>
        <translation>Zusammen öffnen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Open the selected log files as one, in time order</source>
        <translation>Die gewählten Protokolldateien als eine öffnen, in zeitlicher Reihenfolge</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Select files to open together...</source>
        <translation>Dateien zum gemeinsamen Öffnen wählen...</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>None of these logs can be read:</source>
        <translation>Keines dieser Protokolle kann gelesen werden:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>These logs can&apos;t be read and are left out:</source>
        <translation>Diese Protokolle können nicht gelesen werden und werden ausgelassen:</translation>
    </message>
</context>
<context>
    <name>settingsDialog</name>
    <message>
        <location filename="../dialogs/settingsdialog.ui" line="+14"/>
        <source>Program settings</source>
        <translation>Programmeinstellungen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open log on start</source>
        <translation>Protokoll beim Start öffnen</translation>
    </message>
    <message>
        <location line="+22"/>
        <location line="+44"/>
        <location line="+29"/>
        <source>Select...</source>
        <translation>Auswählen...</translation>
    </message>
    <message>
        <location line="-63"/>
        <source>Apply filter on start</source>
        <translation>Filter beim Start anwenden</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Log search dir</source>
        <translation>Protokollordner</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Log font</source>
        <translation>Schrift der Protokollzeilen</translation>
    </message>
</context>
</TS>
