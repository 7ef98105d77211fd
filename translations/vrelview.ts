<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="en">
<context>
    <name>CFilterEditWindow</name>
    <message>
        <location filename="../dialogs/cfiltereditwindow.cpp" line="+138"/>
        <source>Edit Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+85"/>
        <source>group &quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>user &quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This machine does not know the %1. Type the numeric id instead, as the records hold it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Select folder...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+43"/>
        <source>Wrong time range!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSettingsWindow</name>
    <message>
        <location filename="../dialogs/csettingswindow.cpp" line="+118"/>
        <source>The options could not be saved: the settings could not be written. They apply until the program ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Select log dir...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Select log file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>mlog files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Font</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CStringListModel</name>
    <message>
        <location filename="../results/modelsave.cpp" line="+69"/>
        <location line="+95"/>
        <source>Unknown error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-71"/>
        <location line="+14"/>
        <source>Cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-14"/>
        <source>A pattern is too costly to decide: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+155"/>
        <location filename="../results/resultsummary.cpp" line="+625"/>
        <source>The results were closed while they were saved.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSummaryDialog</name>
    <message>
        <location filename="../dialogs/csummarydialog.cpp" line="+84"/>
        <source>Summary of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 result rows. The top %2 of each table, the rest as &quot;other&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+34"/>
        <location line="+17"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-13"/>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Copy the selected cells, or the whole table, as tab-separated text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save as CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+70"/>
        <source>Save summary as CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>CSV (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Can&apos;t save file - </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GoToTimeDialog</name>
    <message>
        <location filename="../app/gototimedialog.cpp" line="+20"/>
        <source>Go to time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Show the first row at this time or later:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Local time such as 2026-12-07 15:00:00 or 2026-12-07T15:00, a date alone, or a time with Z or an offset such as +01:00.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+32"/>
        <source>Type a time to go to.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&quot;%1&quot; is not a time. Type a date and time such as %2.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <location filename="../app/filterdescription.cpp" line="+18"/>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Source</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+15"/>
        <source>Event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Parameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Files and dirs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/ceventmodel.cpp" line="+12"/>
        <source>Select events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../filter/filtermatch.cpp" line="+315"/>
        <source>success</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>refuse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+11"/>
        <source>user</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>user process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../log/eventcatalogue.cpp" line="+1"/>
        <source>custom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../log/eventcatalogue.cpp" line="-13"/>
        <source>for audit</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ResultSummary</name>
    <message>
        <location filename="../results/resultsummary.cpp" line="-403"/>
        <source>(none)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+69"/>
        <source>other</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+72"/>
        <source>Users</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+17"/>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-15"/>
        <source>Refusals by user</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+6"/>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-6"/>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+4"/>
        <source>Records</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-8"/>
        <location line="+2"/>
        <location line="+4"/>
        <location line="+2"/>
        <source>Refusals</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+121"/>
        <source>More than %1 different keys: each count may be up to %2 too low, &quot;other&quot; holds the rest.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SaveTarget</name>
    <message>
        <location filename="../results/savetarget.cpp" line="+177"/>
        <source>%1; the file is incomplete, the whole result is in %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimeBuckets</name>
    <message>
        <location filename="../results/timebuckets.cpp" line="+132"/>
        <source>%1 d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelineStrip</name>
    <message>
        <location filename="../app/timelinestrip.cpp" line="+58"/>
        <source>Time line of the results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Rows over time, refusals in red. Click: go to that time; drag: mark a time range; Edit &gt; Go to time... does the same from the keyboard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+179"/>
        <source>%1 to %2
%3 rows, %4 of them refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-12"/>
        <source>1 bar = %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+175"/>
        <source>Show only this time range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear the marked range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Logarithmic scale</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VrelHelpMenu</name>
    <message>
        <location filename="../platform/vrelintegration/src/vrelintegration.cpp" line="+67"/>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>About %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&lt;b&gt;%1&lt;/b&gt;&lt;br&gt;Version %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>About Qt</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>commandLine</name>
    <message>
        <location filename="../app/commandline.cpp" line="+283"/>
        <source>The settings file %1 could not be read safely; it is left as it is and not read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The settings file %1 could not be read safely and was set aside as %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Write the results to FILE (&quot;-&quot;: standard output).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Saved filter to apply.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results from this time on.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results up to this time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Print the number of matching records.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-5"/>
        <source>Format of --export (text, csv, jsonl) or of --summary (text, csv).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Print the counts of the results.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Give one of --export, --count and --summary (see --help).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>--%1 is given more than once.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>--count takes no --format.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknown format &quot;%1&quot; (see --help).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>--export needs a FILE, or &quot;-&quot; for standard output.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+5"/>
        <source>Not a time: &quot;%1&quot; (see --help).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>--from is later than --to.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+24"/>
        <source>No saved filter is named &quot;%1&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Reading %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+19"/>
        <location line="+14"/>
        <location line="+29"/>
        <source>Interrupted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-51"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record; nothing is written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Counting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Summing up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Exporting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record; the output stops before it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-153"/>
        <location line="+7"/>
        <location line="+162"/>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-319"/>
        <source>not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+132"/>
        <source>Write CSV fields as they are, formulas included.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+51"/>
        <source>--csv-raw goes with CSV only (see --help).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Cannot read the log %1: %2.</source>
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+168"/>
        <source>None of the logs can be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-50"/>
        <source>Give a LOG, or several LOG files of one trail (see --help).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>dateTimeDialog</name>
    <message>
        <location filename="../dialogs/datetimedialog.ui" line="+14"/>
        <source>Set date range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+12"/>
        <source>From:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+20"/>
        <source>dd.MM.yyyy HH:mm:ss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-7"/>
        <source>To:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>filterDialog</name>
    <message>
        <location filename="../dialogs/filterdialog.ui" line="+14"/>
        <source>Edit filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Date:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+45"/>
        <source>State:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Refuse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Success</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Source:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Other</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Clear the folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Select files to filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Files...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Type users and groups lists using &quot;,&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Group:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+16"/>
        <source>User:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Parameters:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Provide additional parameters (files, dirs, paths, custom strings and etc.)
Any text may place here, anything that may be in log file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Event:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>filterNameDialog</name>
    <message>
        <location filename="../app/filternamedialog.ui" line="+14"/>
        <source>Filter name to save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../app/commandline.cpp" line="-51"/>
        <location filename="../app/main.cpp" line="+39"/>
        <source>Viewer for binary security audit logs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../app/main.cpp" line="+4"/>
        <source>Audit log to open at start.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>mainWindow</name>
    <message>
        <location filename="../app/mainwindow.ui" line="+14"/>
        <source>View audit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Filter info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Log files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+24"/>
        <location line="+3"/>
        <source>Log files list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+31"/>
        <location line="+202"/>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-197"/>
        <source>First record date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Last record date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+31"/>
        <location line="+435"/>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-400"/>
        <location line="+3"/>
        <source>Find string in current tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+3"/>
        <source>Find previous in current tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Shift+F3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+3"/>
        <source>Find next in current tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>F3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+3"/>
        <source>Upper and lower case must match</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Match case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+63"/>
        <source>View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../app/mainwindow.cpp" line="+215"/>
        <source>Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+30"/>
        <source>toolBar_2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Q</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open together...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open several log files as one, in time order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open log file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show program options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Apply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Apply current filter and show results in current tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Esc</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show filter info panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Shift+F</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Show log files panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Alt+F</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Edit...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Edit current filter settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+E</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+88"/>
        <source>Save...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-85"/>
        <location line="+3"/>
        <source>Save current filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Delete...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Delete current filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Del</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Refresh log files panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+3"/>
        <source>Show find string panel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+F</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>New tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+3"/>
        <source>Open new tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+T</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Save results in current tab to file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Shift+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/filterdescription.cpp" line="+68"/>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <location filename="../app/markcontrol.cpp" line="+140"/>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/commandline.cpp" line="-121"/>
        <location filename="../app/mainwindow.cpp" line="-121"/>
        <source>default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+1"/>
        <source>Any time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 5 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 60 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 12 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 24 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 7 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last 30 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set range...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Vrel View Audit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The folder %1 for the index files could not be made or written: every log is scanned in full whenever it is read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+18"/>
        <location line="+1"/>
        <source>Current filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Show main toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show filter toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+157"/>
        <source>filter changed: Apply to refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Another process in progress.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Please, wait for finished!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+17"/>
        <source>New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Busy: the tab stays open until the current operation ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Busy: the current tab stays until the current operation ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_settings.cpp" line="+30"/>
        <source>The program goes on with default settings; the filters in the filter selector stay until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The settings file %1 could not be read safely, nor be set aside: it is left as it is, and this session keeps its settings elsewhere.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The settings file %1 could not be read safely and was set aside as %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <source>The settings file %1 could not be written: the recent files and the window state are not kept beyond this session.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+57"/>
        <source>The program starts with default settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_filters.cpp" line="+128"/>
        <location filename="../app/rowactions.cpp" line="+238"/>
        <location filename="../app/timelinecontrol.cpp" line="+111"/>
        <source>modified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Can&apos;t save default or empty name filter!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Filter entries must not contain &quot;::&quot;, &quot;;;&quot; or &quot;##&quot;, end with &quot;#&quot; or &quot;;&quot; where another entry follows, or be empty; found: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The filter could not be saved: the settings could not be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Can&apos;t delete default filter!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Delete saved filter?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The filter could not be deleted: the settings could not be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-51"/>
        <source>The filter cannot be saved: it would read back as another filter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-107"/>
        <source>The stored value of this filter could not be read: it may match every record.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The saved filter &quot;%1&quot; could not be read: it may match every record until it is edited and saved again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+98"/>
        <source>A filter name must not contain %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_logs.cpp" line="+39"/>
        <source>Select file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../app/mainwindow_sets.cpp" line="+112"/>
        <source>mlog files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Can&apos;t open file - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+30"/>
        <source>You are trying to load a %1 log with an available memory of %2.
Parsing this file can take a lot of time.
This application can be killed by OS if the available memory is exceeded.
Do you want to continue?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Large file size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No entries found!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+36"/>
        <location filename="../app/mainwindow_sets.cpp" line="-56"/>
        <location line="+69"/>
        <source>Processing read file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="+325"/>
        <location filename="../app/mainwindow_logs.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+81"/>
        <location filename="../app/mainwindow_sets.cpp" line="+0"/>
        <source>Cancel current log processing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_logs.cpp" line="+10"/>
        <location filename="../app/mainwindow_sets.cpp" line="+34"/>
        <source>Read finished!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../app/mainwindow_sets.cpp" line="-17"/>
        <source>Read cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+36"/>
        <source>kb</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>mb</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>gb</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location line="+64"/>
        <source>... and %n more</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t open these logs of %1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+23"/>
        <location line="+13"/>
        <source>&lt;Unknown&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+0"/>
        <source>Processing results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+70"/>
        <source>Finished!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Filter run cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Filter run stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The pattern &quot;%1&quot; is too costly to decide for a record, so the operation stopped at that record; the rows found before it are kept.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="-283"/>
        <location filename="../app/mainwindow_results.cpp" line="+48"/>
        <location line="+2"/>
        <source>Nothing to find!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+23"/>
        <source>Busy: nothing was searched; find again once the current operation ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+47"/>
        <source>Finding</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel the search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Find cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>End of log reached! Found nothing else.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Begin of log reached! Found nothing else.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow.cpp" line="+0"/>
        <location filename="../app/mainwindow_results.cpp" line="+2"/>
        <source>Not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_results.cpp" line="+25"/>
        <location line="+12"/>
        <source>Nothing to save!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Select file to save...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Text (*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CSV (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JSON Lines (*.jsonl)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>File not saved!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JSON Lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Saving results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel saving operation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Can&apos;t save file - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Saving stopped: %1 holds the rows found before the record, as %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Saving cancelled: %1 holds the rows of the blocks saved, as %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Results saved as %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/mainwindow_state.cpp" line="+50"/>
        <source>Open file: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Alt+</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/rowcountcontrol.cpp" line="+29"/>
        <source>Rows so far: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rows: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rows: %1, stopped early</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Rows: %1, stopped at %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+52"/>
        <source>(stopped)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>No records matched before the run stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No records match the filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/followcontrol.cpp" line="-286"/>
        <source>Follow log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show new records of the open log as they are written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Go to the last row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+35"/>
        <source>Following the log: new records are added as they are written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+178"/>
        <source>Logs no longer found in their folders left the tab; it shows: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The tab&apos;s logs were rotated; it shows: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The log %1 is another file now and was read anew.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location line="+107"/>
        <source>%n new rows below</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app/timelinecontrol.cpp" line="-86"/>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Go to time...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show the first row of the current tab at a time or later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show time line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Show the rows of each result tab over time above them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+31"/>
        <source>The current tab has no rows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>The current tab has no row at %1 or later.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/summarycontrol.cpp" line="+21"/>
        <source>Results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Summary...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Counts of the current tab&apos;s results by user, event, status and hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Nothing to sum up!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Summing up results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel the summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Summary cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>No summary: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/markcontrol.cpp" line="-14"/>
        <source>Not a row of the current result</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <location filename="../app/rowactions.cpp" line="-183"/>
        <source>Row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Mark row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mark the current row, or take its mark away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Next mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show the next marked row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Previous mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show the previous marked row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Marks...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>List the marked rows of the current log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save marked rows...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save the marked rows of the current tab to file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+48"/>
        <source>No row to mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-4"/>
        <source>Marks are not available for logs opened together</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+11"/>
        <source>This row cannot be marked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Row marked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Mark removed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+20"/>
        <source>No marks in this result</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>No mark below this row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No mark above this row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Mark %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The marked row is not in this result</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+32"/>
        <source>Marks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+52"/>
        <source>No marked rows to save!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/filterdescription.cpp" line="+21"/>
        <source>Hidden statuses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden sources</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden users</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hidden parameters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app/rowactions.cpp" line="-18"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Copy the chosen rows as the rows of Save results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Copy as CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Copy as JSON Lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Show this second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show from here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+106"/>
        <source>Hide user %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only user %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide event %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only event %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide group %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only group %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Hide source %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Show only source %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+100"/>
        <source>No rows chosen to copy.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Copying rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel copying</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The results were closed while they were copied: nothing was put on the clipboard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Too many rows to copy: their text would pass 1 GiB; nothing was put on the clipboard. Save results writes them to a file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Copy stopped: nothing was put on the clipboard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Copy cancelled: nothing was put on the clipboard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Rows copied: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../app/mainwindow_sets.cpp" line="-63"/>
        <source>%1 + %n more</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open together</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Open the selected log files as one, in time order</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Select files to open together...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+39"/>
        <source>None of these logs can be read:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>These logs can&apos;t be read and are left out:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>settingsDialog</name>
    <message>
        <location filename="../dialogs/settingsdialog.ui" line="+14"/>
        <source>Program settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open log on start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+22"/>
        <location line="+44"/>
        <location line="+29"/>
        <source>Select...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-63"/>
        <source>Apply filter on start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Log search dir</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Log font</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
