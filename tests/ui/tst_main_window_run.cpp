// Runs from the main window with real runners: the marked rows with progress
// and Terminate, a double-clicked row, and each outcome in the row and the
// System Messages box. "hold" stops a script on the worker thread, so what
// the window allows meanwhile shows without any timing.
#include "ArchiveTools.h"
#include "WindowFixture.h"

namespace {

// With src/in.zip to unzip. Whether the e-mail step finds a network differs
// from one machine to the next.
struct RunFixture : WindowFixture {
    RunFixture() {
        runTool(u"zip"_s,
                {u"-jq"_s, root.filePath(u"src/in.zip"_s), root.filePath(u"src/data.txt"_s)});
    }
    QStringList observe() {
        return WindowFixture::observe().replaceInStrings(
            QRegularExpression(u"^\\|Unable to send email - .*"_s),
            u"|Unable to send email - ..."_s);
    }
};

} // namespace

class MainWindowRunTest : public QObject {
    Q_OBJECT
private slots:
    void runs_data();
    // f.zsc fails (no directory), g.zsc had failed before, m.zsc e-mails (no
    // mail host is set), u.usc unzips src/in.zip.
    void runs() {
        checkSteps<RunFixture>(u"f.zsc:File1=%r/src/data.txt;ZipFile=f +g.zsc g.zsc:Error=X +m.zsc "
                               "m.zsc:Attachment=Yes;EmailAddress1=x@y.z +u.usc open"_s);
    }
};

void MainWindowRunTest::runs_data() {
    rows(R"(
$idle = all but runProgress terminateButton
$failed = |Script f.zsc aborted due to error at %t. Review file %r/log/errors.txt.
marked rows in list order; no closing, no refresh meanwhile
    @m.zsc F2 @u.usc F2 snap hold runButton held close Esc trayCloseItem F9 snap go wait snap
  = $idle | only runProgress terminateButton | $idle | rows: f.zsc g.zsc! *m.zsc~ >*u.usc~ Run
  = |Script m.zsc started %t. | |Unable to send email - ... | |Script m.zsc finished %t.
  = |Script u.usc started %t. | |Script u.usc finished %t. | | | bar 500 1000 0
Terminate ends the run after the current script
    @g.zsc F2 @m.zsc F2 hold runButton held terminateButton go wait
  = rows: f.zsc *g.zsc~ >*m.zsc u.usc Run | |Script g.zsc started %t. | |Script g.zsc finished %t.
  = |Script execution terminated by user. | bar 500 0
Terminate does not outlive its run
    @g.zsc F2 runButton terminateButton wait runButton wait
  = rows: f.zsc >*g.zsc~ m.zsc u.usc Run | |Script g.zsc started %t. | |Script g.zsc finished %t.
  = | | bar 1000 0 1000 0
a failing script does not stop the run; one that finishes loses its error marker
    @f.zsc F2 @g.zsc F2 runButton wait
  = rows: *f.zsc~! >*g.zsc~ m.zsc u.usc Run | |Script f.zsc started %t. | $failed
  = |Script g.zsc started %t. | |Script g.zsc finished %t. | | | bar 500 1000 0
scripts gone or emptied after listing
    @m.zsc F2 @u.usc F2 empty:m.zsc -u.usc runButton wait
  = rows: f.zsc g.zsc! *m.zsc~! >*u.usc~! Run | -u.usc | |Script m.zsc started %t.
  = |Script m.zsc aborted %t. Script file does not exist. | |Script u.usc started %t.
  = |Script u.usc aborted %t. Script file does not exist. | | | bar 500 1000 0
double-click: that script alone, the window kept as it was
    @m.zsc F2 snap hold @@g.zsc held close snap go wait snap
  = $idle | only | $idle | rows: f.zsc >g.zsc~ *m.zsc u.usc Run | |Script g.zsc started %t.
  = |Script g.zsc finished %t. | |
double-click on a failing script
    @@f.zsc wait
  = rows: >f.zsc~! g.zsc! m.zsc u.usc | |Script f.zsc started %t. | $failed | |
)");
}

QTEST_MAIN(MainWindowRunTest)
#include "tst_main_window_run.moc"
