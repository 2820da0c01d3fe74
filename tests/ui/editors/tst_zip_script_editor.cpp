// The zip script editor on real script files: loading, the two lists, the
// field rules, closing, and what Save and the e-mail button write.
#include "EditorFixture.h"
#include "storage/Scramble.h"

class ZipScriptEditorTest : public QObject {
    Q_OBJECT
private slots:
    void editor_data();
    void editor() { checkSteps<EditorFixture>(); }
};

void ZipScriptEditorTest::editor_data() {
    rows(R"(
$flags = IncludeHiddenFiles=No;IncludeDirectoryEntries=No;IncludeVolumeLabel=No
$rest = ModifiedDate=01/01/1980;CompressionMode=Best;StorePaths=No;StoreSubDirs=No;$flags
$keys = File1=/a;Dir1=/o;ZipFile=z;Description=d;$rest
$s = s.zsc:$keys zip:s.zsc
$add = zip !p:/a !No addFileSpecButton !p:/o addDirectoryButton
$mail = !t:x@y.z emailSettingsButton { ? addAddressButton saveButton closeButton } ?scriptNameBox
$new = $add zipFileBox=z modifiedDatePicker=1980-01-01 scriptNameBox=new descriptionBox=d $mail
$file = file: Select a file to zip
$ask = message: You have selected file
$wild = .\nDo you want to include wildcard characters?
$spec = input: File Specs to Zip
$dir = folder: Select a directory to put the zip file in
$delete = message: Are you sure you want to delete the selected item?
$keep = message: Do you want to save your changes before closing this screen?
$missing = message: Warning! The following items are missing:\n\n
$please = \nPlease enter this information
$saved = status: Zip script saved.
$taken = status: File %r/x.zsc already exists. Please enter a different file name.
a script loaded, Save off until a change: w.v2.zsc:File1=x,/l/*.log;File2=X,_/b;File3=/c;File5=/e;Dir1=/o/a;Dir2=/o/b;Password=$secret
    w.v2.zsc:ModifiedDate=03/15/2004;StorePaths=YES;StoreSubDirs=true zip:w.v2.zsc ? ?scriptNameBox
    ?passwordBox ?modifiedDatePicker ?storePathsYes ?storeSubfoldersNo ?fileSpecList ?directoryList
    ?clearAllDeleteMarksButton
  = Tarvik - Edit zip script file w.v2.zsc | scriptNameBox=w.v2 | passwordBox=secret
  = modifiedDatePicker=2004-03-15 | storePathsYes=on | storeSubfoldersNo=on
  = fileSpecList=>/l/*.log[X],  /b[X], /c | directoryList=>/o/a, /o/b | clearAllDeleteMarksButton=on
compression words: a.zsc:CompressionMode=NONE b.zsc:CompressionMode=fast
    c.zsc:CompressionMode=Normal d.zsc:CompressionMode=Maximum zip:a.zsc ?compressionNone zip:b.zsc
    ?compressionFast zip:c.zsc ?compressionNormal zip:d.zsc ?compressionBest
  = compressionNone=on | compressionFast=on | compressionNormal=on | compressionBest=on
a new script starts from the settings: set:zipFile=backup set:zipScriptFile=daily zip ? ?zipFileBox
    ?scriptNameBox ?compressionBest
  = Tarvik - Add a new zip script file | zipFileBox=backup | scriptNameBox=daily
  = compressionBest=on
add file specs - picker cancelled, one there in other letters, input cancelled, with wildcards: s.zsc:File1=/Data/A.txt
    zip:s.zsc !p: addFileSpecButton !p:/data/a.txt !No addFileSpecButton !p:/data/b.txt !Yes !-
    addFileSpecButton !p:/data/b.txt !Yes !t:_/data/*.txt_ addFileSpecButton ?fileSpecList
  = $file | $file | $ask /data/a.txt$wild | beep | $file | $ask /data/b.txt$wild | $spec | $file
  = $ask /data/b.txt$wild | $spec | fileSpecList=>/Data/A.txt, /data/*.txt | status: Item already
  + exists. | Save | lastFolder=/data
edit file specs - into another, into blanks, in other letters with the mark kept: s.zsc:File1=X,/a.txt;File2=/b.txt
    zip:s.zsc !t:/B.txt editFileSpecButton !t:__ editFileSpecButton ?fileSpecList !t:/A.TXT
    editFileSpecButton ?fileSpecList
  = $spec | beep | $spec | $spec | fileSpecList=>/a.txt[X], /b.txt | fileSpecList=>/A.TXT[X], /b.txt
  = status: Item already exists. | Save
delete the last lines, No by default: s.zsc:File1=/a;Dir1=/out zip:s.zsc deleteFileSpecButton
    ?fileSpecList !Yes deleteFileSpecButton !Yes deleteAllDirectoriesButton snap
  = $delete | $delete | message: Are you sure you want to delete all the items? | fileSpecList=>/a
  = all but clearAllDeleteMarksButton deleteAllDirectoriesButton deleteAllFileSpecsButton
  + deleteDirectoryButton deleteFileSpecButton editFileSpecButton setAllDeleteMarksButton | Save
typing - no dots in names, no blanks in the password: zip zipFileBox<a.b_c scriptNameBox<x.zsc
    passwordBox<p_w.d descriptionBox<a._b ?zipFileBox ?scriptNameBox ?passwordBox ?descriptionBox
  = zipFileBox=ab c | scriptNameBox=xzsc | passwordBox=pw.d | descriptionBox=a. b | Save
dates from 1980 on: s.zsc:ModifiedDate=03/15/2004 zip:s.zsc modifiedDatePicker=1979-12-31
    ?modifiedDatePicker modifiedDatePicker=1980-01-01 ?modifiedDatePicker
  = beep | modifiedDatePicker=2004-03-15 | modifiedDatePicker=1980-01-01 | status: Invalid date.
  + Must be a date 01/01/1980 through 12/31/9999. | Save
Esc, unchanged: zip:s.zsc Esc
  = closed
Esc, changed - Yes stays, No closes: zip:s.zsc descriptionBox=new !Yes Esc !No Esc
  = $keep | $keep | closed
missing - all by Save and the e-mail button, some in a loaded script: s.zsc:File1=/a;Dir1=/o zip
    descriptionBox=x descriptionBox= saveButton ?focus emailSettingsButton zip:s.zsc
    descriptionBox=x descriptionBox= saveButton ?focus
  = beep | $missingDescription\nScript File Name\nZip File Name\nDirectories\nFile specs\n$please
  = beep | $missingDescription\nScript File Name\nZip File Name\nDirectories\nFile specs\n$please
  = beep | $missingDescription\nZip File Name\n$please | focus=fileSpecList | focus=zipFileBox
  = Save
a new script, every key in order: zip !p:/d/a !No addFileSpecButton !p:/d/b !No addFileSpecButton
    !p:/o/1 addDirectoryButton !p:/o/2 addDirectoryButton setAllDeleteMarksButton zipFileBox=week
    passwordBox=pw scriptNameBox=weekly descriptionBox=Weekly_backup modifiedDatePicker=2004-03-05
    compressionFast storePathsYes directoryEntriesYes saveButton
  = $file | $ask /d/a$wild | $file | $ask /d/b$wild | $dir | $dir | list: add weekly.zsc|Zip|Weekly
  + backup | $saved | accepted | weekly.zsc: File1=X,/d/a; File2=X,/d/b; Dir1=/o/1; Dir2=/o/2;
  + Description=Weekly backup; ZipFile=week; ModifiedDate=03/05/2004; CompressionMode=Fast;
  + Password=$pw; StorePaths=Yes; StoreSubDirs=No; IncludeHiddenFiles=No;
  + IncludeDirectoryEntries=Yes; IncludeVolumeLabel=No | lastFolder=/o/2
a name taken, by a new script and by a rename: x.zsc:Description=x s.zsc:$keys $add zipFileBox=z
    descriptionBox=new scriptNameBox=x saveButton ?focus zip:s.zsc scriptNameBox=x saveButton ?focus
  = $file | $ask /a$wild | $dir | beep | beep | focus=scriptNameBox | focus=scriptNameBox | $taken
  = Save | lastFolder=/o
a shorter list leaves no old keys: s.zsc:File1=/1;File2=/2;File3=/3;File4=/4;File5=/5;Dir1=/o
    s.zsc:ZipFile=z;Description=d;Subject=s;$rest zip:s.zsc !Yes deleteFileSpecButton !Yes
    deleteFileSpecButton saveButton
  = $delete | $delete | $saved | s.zsc: File1=/3; File2=/4; File3=/5; -File4; -File5
a rename keeps every key, the row follows: s.zsc:Attachment=Yes;EmailAddress1=a@b.c;LastRun=x;Error=X
    $s scriptNameBox=New descriptionBox=2nd saveButton descriptionBox=d saveButton
  = list: name New.zsc | list: description 2nd | list: description d | $saved | -s.zsc | New.zsc:
a rename, the old file cannot go: s.zsc:Attachment=Yes $s 400:s.zsc scriptNameBox=New
    descriptionBox=2nd saveButton
  = beep | message: Unable to delete file %r/s.zsc. Error 13 : Permission denied
  = list: name New.zsc | list: description 2nd | $saved | New.zsc: Description=2nd
saved into the file it was opened on, whole if gone meanwhile: w.v2.zsc:$keys D.ZSC:$keys $s -s.zsc
    descriptionBox=new saveButton zip:w.v2.zsc descriptionBox=new saveButton zip:D.ZSC
    descriptionBox=new saveButton
  = list: description new | list: description new | list: description new | $saved
  = D.ZSC: Description=new | s.zsc: Description=new | w.v2.zsc: Description=new
a password that cannot be stored: $s passwordBox=ÿ scriptNameBox=r saveButton
  = beep | status: The password holds a character that cannot be stored. Please use other
  + characters. | Save
long stored values kept whole; typing and pasting keep to the limit: s.zsc:File1=/a;Dir1=/o;ZipFile={z*260};Description={d*300};$rest
    zip:s.zsc descriptionBox<more passwordBox+={p*100} saveButton
  = $saved | s.zsc: Password=$p80
e-mail settings of a new script, closed unsaved: $new !No closeButton
  = $file | $ask /a$wild | $dir | input: Email Addresses | $keep | Tarvik - Email Settings Screen
  = scriptNameBox=new (ro) | closed | lastFolder=/o
e-mail settings of a new script, then saved: $new saveButton
  = $file | $ask /a$wild | $dir | input: Email Addresses | Tarvik - Email Settings Screen
  = scriptNameBox=new (ro) | list: add new.zsc|Zip|d | $saved | accepted | new.zsc: Attachment=No;
  + HyperLink=No; EmailAddress1=x@y.z; SenderName=Tarvik; Sender=yourname@yourmailhost.com;
  + Subject=Zip File; Body=Attached is zip file.; File1=/a; Dir1=/o; Description=d; ZipFile=z;
  + ModifiedDate=01/01/1980; CompressionMode=Best; StorePaths=No; StoreSubDirs=No;
  + IncludeHiddenFiles=No; IncludeDirectoryEntries=No; IncludeVolumeLabel=No | lastFolder=/o
the e-mail button after a rename, to a free name or a name taken: x.zsc:Description=x $s
    scriptNameBox=t emailSettingsButton { ? } scriptNameBox=x emailSettingsButton { ? }
  = beep | beep | status: Please save changes on current screen before accessing email settings.
  = Save
)",
         {{u"$secret"_s, *tarvik::Scramble(u"secret")},
          {u"$pw"_s, *tarvik::Scramble(u"pw")},
          {u"$p80"_s, *tarvik::Scramble(QString(80, u'p'))}});
}

QTEST_MAIN(ZipScriptEditorTest)
#include "tst_zip_script_editor.moc"
