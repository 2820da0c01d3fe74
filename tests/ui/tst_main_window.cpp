// The main window driven as a user would, on real script files and with real
// runs: each row its steps and all that shows afterwards. "hold" stops a
// script on the worker thread, so what the window allows meanwhile shows
// without any timing. In the run rows f.zsc fails (no directory), g.zsc had
// failed before, m.zsc e-mails (no mail host is set), u.usc unzips.
#include "ArchiveTools.h"
#include "WindowFixture.h"

namespace {

// With src/in.zip to unzip. Whether the e-mail step finds a network differs
// from one machine to the next.
struct RunFixture : WindowFixture {
    RunFixture() { runTool(u"zip"_s, {u"-jq"_s, path(u"src/in.zip"_s), path(u"src/data.txt"_s)}); }
    QStringList observe() {
        return WindowFixture::observe().replaceInStrings(
            QRegularExpression(u"^\\|Unable to send email - .*"_s),
            u"|Unable to send email - ..."_s);
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void window_data();
    void window() { checkSteps<RunFixture>(); }
};

void MainWindowTest::window_data() {
    rows(R"(
$delete = message: Are you sure you want to delete the selected script?
$idle = only aboutButton addButton clearMessagesButton exitButton optionsButton refreshButton scriptList
$ask = input: Copy from file daily.zsc
$folder = folder: Select the location of the script files
$saved = chooseScriptFolderButton saveButton closeButton }
$some = +daily.zsc +weekly.zsc +DUMP.ZSC +dead.zsc +Data.usc +d.txt open -dead.zsc @Data.usc F2
Delete, Del; No by default, the next row, Run as marked, the last: +a.zsc +b.zsc +c.usc open @a.zsc
    F2 @c.usc Del !Yes Del rows @a.zsc !Yes deleteButton rows !Yes deleteButton snap
  = $delete | $delete | $delete | $delete | rows: *a.zsc >b.zsc Run | rows: >b.zsc | $idle | rows:
  = -a.zsc | -b.zsc | -c.usc
a failed delete keeps the row: +a.zsc open 400:a.zsc @a.zsc !Yes deleteButton
  = $delete | beep | message: Unable to delete file %r/scripts/a.zsc. Error 13 : Permission denied
  = rows: >a.zsc
F8 and F1 show the script and the help, or say why not: noviewer +a_b.zsc open @a_b.zsc F8 F1
  = rows: >a b.zsc | |Welcome to Tarvik! Press the F1 key for help. | |No text viewer could be
  + started for %r/scripts/a b.zsc. | |No text viewer could be started for %r/faq.fil. | |
  = viewed %r/scripts/a b.zsc | viewed %r/faq.fil
Ins on the list, About: +a.zsc open @a.zsc Ins { ? cancelButton } aboutButton ? Esc
  = Enter type of script to create | Tarvik - About | rows: >a.zsc
Add, a zip editor closed, an unzip script saved: open !p:%r/src/Data.ZIP !p:%r/out addButton { ?
    ?zipChoice okButton { ? closeButton } unzipChoice okButton { ? chooseZipFileButton
    addDirectoryButton scriptNameBox=r descriptionBox=get_it_back saveButton } ? cancelButton } snap
  = file: Select a file to unzip | folder: Select a directory to extract zipped files in
  = Enter type of script to create | zipChoice=on | Tarvik - Add a new zip script file
  = Tarvik - Add a new unzip script file | Enter type of script to create | all but runButton
  + runProgress terminateButton | rows: r.usc(get it back) | +r.usc
Edit renames scripts, their rows follow: +a.usc a.usc:Description=old +b.zsc
    b.zsc:Description=nightly;LastRun=x open @a.usc editButton { ? scriptNameBox=c
    descriptionBox=new saveButton closeButton } @b.zsc editButton { ? scriptNameBox=w saveButton
    closeButton }
  = Tarvik - Edit unzip script file a.usc | Tarvik - Edit zip script file b.zsc
  = rows: >w.zsc(nightly)~ c.usc(new) | +c.usc | +w.zsc | -a.usc | -b.zsc
Options, the list follows a script folder saved, also in other letters: +a.zsc +x/n.usc +X/m.zsc
    open !p:%r/x !No optionsButton { chooseScriptFolderButton closeButton } rows !p:%r/x
    optionsButton { $saved rows !p:%r/X optionsButton { $saved
  = $folder | message: Do you want to save your changes before closing this screen? | $folder
  = $folder | rows: a.zsc | rows: n.usc | rows: m.zsc | |Zip script list refreshed.
F9 lists anew, unmarked; Refresh, the folder gone: +b.zsc +c.usc open F4 +DAILY.ZSC +a.USC
    b.zsc:LastRun=x;Error=X;Description=Nightly empty:empty.zsc F9 rows -* refreshButton snap
  = rows: b.zsc(Nightly)~! DAILY.ZSC empty.zsc a.USC c.usc | $idle | rows: | -b.zsc | -c.usc
  = |Zip script list refreshed.
Copy names, names taken, paths, an empty file replaced, owner-only: +daily.zsc +other.zsc
    daily.zsc:Description=nightly;LastRun=x empty:empty.zsc +r.usc 644:daily.zsc open @daily.zsc
    !t:__weekly_ !t:Weekly.ZSC !t:b.usc !t:other !t:empty !t:../x copyButton @r.usc !t:y.USC
    copyButton
  = $ask | $ask | $ask | $ask | beep | message: File %r/scripts/other.zsc already exists. | $ask
  = $ask | beep | message: File name ../x is not valid. | $ask | input: Copy from file r.usc
  = input: Copy from file r.usc | rows: daily.zsc(nightly)~ other.zsc >r.usc weekly.zsc(nightly)
  + Weekly.ZSC(nightly) b.usc.zsc(nightly) empty.zsc(nightly) y.USC | Weekly.ZSC = daily.zsc
  = b.usc.zsc = daily.zsc | empty.zsc = daily.zsc | weekly.zsc = daily.zsc | y.USC = r.usc
a failed copy leaves no file: +a.zsc open @a.zsc !t:b fsize copyButton
  = input: Copy from file a.zsc | beep | message: Unable to copy file %r/scripts/a.zsc to
  + %r/scripts/b.zsc. Error 27 : File too large | input: Copy from file a.zsc | rows: >a.zsc
Sorting, a click turns the way, equal texts keep their order, kept on refresh: +b.zsc +a.zsc
    b.zsc:Description=beta a.zsc:Description=Gamma +c.usc c.usc:Description=alpha open col:1 rows
    col:2 rows col:5 F9
  = rows: c.usc(alpha) b.zsc(beta) a.zsc(Gamma) | rows: c.usc(alpha) b.zsc(beta) a.zsc(Gamma)
  = rows: a.zsc(Gamma) b.zsc(beta) c.usc(alpha) | |Zip script list refreshed.
Marking by buttons and keys: +s0.zsc +s1.zsc +s2.usc open @s1.zsc selectButton rows ~ selectButton
    rows selectOppositeButton rows selectAllButton selectOppositeButton rows deselectAllButton
    @s0.zsc selectButton @s2.usc selectButton deselectButton rows @s0.zsc deselectButton rows
    selectAllButton ~ deselectButton rows F5 @s1.zsc F2 F6 rows @s0.zsc F4 F3 rows F4 F5
  = rows: s0.zsc >*s1.zsc s2.usc Run | rows: s0.zsc *s1.zsc s2.usc Run | rows: *s0.zsc s1.zsc
  + *s2.usc Run | rows: s0.zsc s1.zsc s2.usc | rows: *s0.zsc s1.zsc >s2.usc Run
  = rows: >s0.zsc s1.zsc s2.usc | rows: *s0.zsc *s1.zsc *s2.usc Run | rows: *s0.zsc >s1.zsc *s2.usc
  + Run | rows: >s0.zsc *s1.zsc *s2.usc Run | rows: >s0.zsc s1.zsc s2.usc
Advanced Select by kind, earlier marks cleared or kept: $some F7 ? okButton rows F7
    deselectFirstCheck selectUnzipScripts okButton
  = Tarvik - Advanced Select Screen | rows: *daily.zsc *dead.zsc *DUMP.ZSC *weekly.zsc >Data.usc Run
  = rows: *daily.zsc *dead.zsc *DUMP.ZSC *weekly.zsc >*Data.usc Run | -dead.zsc
Advanced Select by a pattern, trimmed, of files there, kept for next time: $some F7 patternBox=
    patternBox<__d*__ ?selectByPattern okButton rows F7 ?selectZipScripts ?deselectFirstCheck
    ?patternBox deselectFirstCheck patternBox= patternBox<zz* okButton rows F7 patternBox=
    patternBox<zz* okButton
  = selectByPattern=on | rows: *daily.zsc dead.zsc *DUMP.ZSC weekly.zsc >*Data.usc Run
  = selectZipScripts=on | deselectFirstCheck=on | patternBox=d* | rows: *daily.zsc dead.zsc
  + *DUMP.ZSC weekly.zsc >*Data.usc Run | rows: daily.zsc dead.zsc DUMP.ZSC weekly.zsc >Data.usc
  = -dead.zsc
into the tray and back, by a click or by Restore; Esc closes, the icon goes: open min look tray:menu
    look tray:click look max min look trayRestoreItem Esc
  = look: hidden minimized | look: hidden minimized | look: | look: hidden minimized maximized
  = closed | rows: | hidden maximized no tray icon
no tray, minimised as usual: notray open min
  = rows: | minimized
$idle = all but runProgress terminateButton
$stop = Stop the running script now? Nothing is copied or deleted.
$stopping = Stopping after the current script. Press Terminate again to stop it now.
$failed = |Script f.zsc aborted due to error at %t. Review file %r/log/errors.txt.
$gone = %t. Script file does not exist.
$files = f.zsc:File1=%r/src/data.txt;ZipFile=f +g.zsc g.zsc:Error=X +m.zsc
$runs = $files m.zsc:Attachment=Yes;EmailAddress1=x@y.z +u.usc open
marked rows in order; no closing, no refresh meanwhile: $runs @m.zsc F2 @u.usc F2 snap hold
    runButton held close Esc trayCloseItem F9 snap go wait snap
  = $idle | only runProgress terminateButton | $idle | rows: f.zsc g.zsc! *m.zsc~ >*u.usc~ Run
  = |Script m.zsc started %t. | |Unable to send email - ... | |Script m.zsc finished %t.
  = |Script u.usc started %t. | |Script u.usc finished %t. | | | bar 500 1000 0
Terminate ends the run after the current script, unless pressed again and confirmed: $runs
    @g.zsc F2 @m.zsc F2 hold runButton held terminateButton terminateButton go wait
  = busy message: $stop | rows: f.zsc *g.zsc~ >*m.zsc u.usc Run | |Script g.zsc started %t.
  = |$stopping | |Script g.zsc finished %t.
  = |Script execution terminated by user. | bar 500 0
Terminate twice and Yes stops the script now: $runs @g.zsc F2 @m.zsc F2 hold runButton held
    terminateButton !Yes terminateButton go wait
  = busy message: $stop | rows: f.zsc *g.zsc~! >*m.zsc u.usc Run | |Script g.zsc started %t.
  = |$stopping | |Script g.zsc aborted due to error at %t. Review file %r/log/errors.txt.
  = |Script execution terminated by user. | bar 500 0
Terminate does not outlive its run: $runs @g.zsc F2 runButton terminateButton wait runButton wait
  = rows: f.zsc >*g.zsc~ m.zsc u.usc Run | |Script g.zsc started %t. | |Script g.zsc finished %t.
  = | | bar 1000 0 1000 0
a failing script does not stop the run, success clears the marker: $runs @f.zsc F2 @g.zsc F2
    runButton wait
  = rows: *f.zsc~! >*g.zsc~ m.zsc u.usc Run | |Script f.zsc started %t. | $failed
  = |Script g.zsc started %t. | |Script g.zsc finished %t. | | | bar 500 1000 0
scripts gone or emptied after listing: $runs @m.zsc F2 @u.usc F2 empty:m.zsc -u.usc runButton wait
  = rows: f.zsc g.zsc! *m.zsc~! >*u.usc~! Run | -u.usc | |Script m.zsc started %t.
  = |Script m.zsc aborted $gone | |Script u.usc started %t. | |Script u.usc aborted $gone | |
  = bar 500 1000 0
double-click, that script alone, the window as it was: $runs @m.zsc F2 snap hold @@f.zsc held close
    snap go wait snap
  = $idle | only | $idle | rows: >f.zsc~! g.zsc! *m.zsc u.usc Run | |Script f.zsc started %t.
  = $failed | |
)");
    for (const char* command :
         {"editButton", "copyButton", "F8", "@@gone.usc", "deleteButton", "openButton"})
        for (const char* how : {"-", "empty:"})
            QTest::addRow("%s, script %s", command, how)
                << u"+gone.usc open %1gone.usc @gone.usc %2"_s.arg(QString::fromUtf8(how),
                                                                   QString::fromUtf8(command))
                << facts("beep", "message: Script file %r/scripts/gone.usc does not exist.",
                         "rows: >gone.usc") +
                       (*how == '-' ? facts("-gone.usc") : QStringList());
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
