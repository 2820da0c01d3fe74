// The unzip script editor on real script files: a new script, the options it
// loads, what a save keeps or writes whole, names taken, typing and closing.
#include "EditorFixture.h"

class UnzipScriptEditorTest : public QObject {
    Q_OBJECT
private slots:
    void editor_data();
    void editor() { checkSteps<EditorFixture>(); }
};

void UnzipScriptEditorTest::editor_data() {
    rows(R"(
$run = LastRun=2004/01/02;Error=X
$keys = ZipFile=/in/data;File1=*.txt;Dir1=/out;Delete=No;Overwrite=Yes;Extract=Newer;$run
$a = a.usc:$keys;Description=daily unzip:a.usc
$again = saveButton deleteZipFileYes saveButton
$file = file: Select a file to unzip
$dir = folder: Select a directory to extract zipped files in
$spec = input: File Specs to Unzip
$saved = status: Unzip script saved.
a new script: set:unzipScriptFile=nightly unzip ? !p:/b/a.zip.zip chooseZipFileButton ?zipFileBox
    !p:/b/Data.ZIP chooseZipFileButton !p:/target addDirectoryButton descriptionBox=restore
    extractNewerAndNonExisting saveButton
  = $file | $file | $dir | Tarvik - Add a new unzip script file | zipFileBox=/b/a.zip (ro)
  = list: add nightly.usc|Unzip|restore | $saved | accepted | nightly.usc: File1=*.*; Dir1=/target;
  + ZipFile=/b/Data; Description=restore; Delete=No; Overwrite=Yes; Extract=Newer and non-existing
  = lastFolder=/target
missing fields, under the normal pointer: unzip !Yes deleteFileSpecButton saveButton
  = message: Are you sure you want to delete the selected item? | beep | message: Warning! The
  + following items are missing:\r\n\r\nDescription\r\nScript File Name\r\nDirectories\r\nFiles To
  + Process\r\nFile To Unzip\r\n\r\nPlease enter this information | Save
Delete and Extract as stored: a.usc:Delete=YES;Extract=newer
    b.usc:Delete=y;Extract=NEWER_AND_NON-EXISTING c.usc:Delete=No;Extract=some unzip:a.usc
    ?deleteZipFileYes ?extractNewer unzip:b.usc ?deleteZipFileNo ?extractNewerAndNonExisting
    unzip:c.usc ?deleteZipFileNo ?extractAll
  = deleteZipFileYes=on | extractNewer=on | deleteZipFileNo=on | extractNewerAndNonExisting=on
  = deleteZipFileNo=on | extractAll=on
a directory added - written whole; a further change saved into the same file: $a !p:/more
    addDirectoryButton $again
  = $dir | $saved | a.usc: Dir2=/more; Delete=Yes; -LastRun; -Error | lastFolder=/more
the description changed - the rest kept: $a descriptionBox=weekly $again
  = list: description weekly | $saved | a.usc: Delete=Yes; Description=weekly
renamed - written whole: $a scriptNameBox=b $again
  = list: name b.usc | $saved | -a.usc | b.usc: Delete=Yes; -LastRun; -Error
the file gone meanwhile - written whole: $a -a.usc descriptionBox=weekly $again
  = list: description weekly | $saved | a.usc: Description=weekly; Delete=Yes; -LastRun; -Error
saved into the file it was opened on: w.v2.usc:$keys D.USC:$keys unzip:w.v2.usc
    descriptionBox=weekly saveButton unzip:D.USC descriptionBox=weekly saveButton
  = list: description weekly | list: description weekly | $saved | D.USC: Description=weekly
  = w.v2.usc: Description=weekly
a rename to a name taken: b.usc:Description=other $a scriptNameBox=b saveButton ?focus
  = beep | focus=scriptNameBox | status: File %r/b.usc already exists. Please enter a different file
  + name. | Save
a long stored description kept whole: a.usc:$keys;Description={d*300} unzip:a.usc overwriteNo
    saveButton
  = $saved | a.usc: Overwrite=No
file specs differing in letters; typing rules: $a !t:_*.TXT_ addFileSpecButton ?fileSpecList
    !t:*.TXT editFileSpecButton ?fileSpecList scriptNameBox<x.y passwordBox<p_w ?scriptNameBox
    ?passwordBox
  = $spec | beep | $spec | fileSpecList=>*.txt | fileSpecList=>*.TXT | scriptNameBox=axy
  = passwordBox=pw | status: Item already exists. | Save
Esc, unchanged: unzip:a.usc Esc
  = closed
Esc, changed, Yes stays: unzip:a.usc descriptionBox=new !Yes Esc
  = message: Do you want to save your changes before closing this screen? | Save
)");
}

QTEST_MAIN(UnzipScriptEditorTest)
#include "tst_unzip_script_editor.moc"
