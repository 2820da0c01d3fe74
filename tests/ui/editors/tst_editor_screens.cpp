// The script editors, the e-mail settings and the options screen on real
// files, in that order: loading, the lists, the field rules, closing, and what
// Save and the e-mail button write. A screen's words are defined above its
// rows.
#include "EditorFixture.h"
#include "storage/Scramble.h"

class EditorScreensTest : public QObject {
    Q_OBJECT
private slots:
    void screens_data();
    void screens() { checkSteps<EditorFixture>(); }
};

void EditorScreensTest::screens_data() {
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
a script loaded, Save off until a change: w.v2.zsc:File1=x,/l/*.log;File2=X,_/b;File3=/c;File5=/e
    w.v2.zsc:Dir1=/o/a;Dir2=/o/b;Password=$secret
    w.v2.zsc:ModifiedDate=03/15/2004;StorePaths=YES;StoreSubDirs=true zip:w.v2.zsc ? ?scriptNameBox
    ?passwordBox ?modifiedDatePicker ?storePathsYes ?storeSubfoldersNo ?fileSpecList ?directoryList
    ?clearAllDeleteMarksButton
  = Tarvik - Edit zip script file w.v2.zsc | scriptNameBox=w.v2 | passwordBox=secret
  = modifiedDatePicker=2004-03-15 | storePathsYes=on | storeSubfoldersNo=on
  = fileSpecList=>/l/*.log[X],  /b[X], /c | directoryList=>/o/a, /o/b | clearAllDeleteMarksButton=on
compression words; Esc unchanged closes: a.zsc:CompressionMode=NONE b.zsc:CompressionMode=fast
    c.zsc:CompressionMode=Normal d.zsc:CompressionMode=Maximum zip:a.zsc ?compressionNone zip:b.zsc
    ?compressionFast zip:c.zsc ?compressionNormal zip:d.zsc ?compressionBest Esc
  = compressionNone=on | compressionFast=on | compressionNormal=on | compressionBest=on | closed
add file specs - picker cancelled, other letters, input cancelled, wildcard: s.zsc:File1=/Data/A.txt
    zip:s.zsc !p: addFileSpecButton !p:/data/a.txt !No addFileSpecButton !p:/data/b.txt !Yes !-
    addFileSpecButton !p:/data/b.txt !Yes !t:_/data/*.txt_ addFileSpecButton ?fileSpecList
  = $file | $file | $ask /data/a.txt$wild | beep | $file | $ask /data/b.txt$wild | $spec | $file
  = $ask /data/b.txt$wild | $spec | fileSpecList=>/Data/A.txt, /data/*.txt | status: Item already
  + exists. | Save | lastFolder=/data
edit file specs - into another, blanks, other letters (mark kept): s.zsc:File1=X,/a.txt;File2=/b.txt
    zip:s.zsc !t:/B.txt editFileSpecButton !t:__ editFileSpecButton ?fileSpecList !t:/A.TXT
    editFileSpecButton ?fileSpecList
  = $spec | beep | $spec | $spec | fileSpecList=>/a.txt[X], /b.txt | fileSpecList=>/A.TXT[X], /b.txt
  = status: Item already exists. | Save
delete the last lines, No by default: s.zsc:File1=/a;Dir1=/out zip:s.zsc deleteFileSpecButton
    ?fileSpecList !Yes deleteFileSpecButton !Yes deleteAllDirectoriesButton snap
  = $delete | $delete | message: Are you sure you want to delete all the items? | fileSpecList=>/a
  = all but clearAllDeleteMarksButton deleteAllDirectoriesButton deleteAllFileSpecsButton
  + deleteDirectoryButton deleteFileSpecButton editFileSpecButton setAllDeleteMarksButton | Save
a new script from the settings; typing - no dots in names, no blank in passwords: set:zipFile=backup
    set:zipScriptFile=daily zip ? ?zipFileBox ?scriptNameBox ?compressionBest zipFileBox<a.b_c
    scriptNameBox<x.zsc passwordBox<p_w.d descriptionBox<a._b ?zipFileBox ?scriptNameBox
    ?passwordBox ?descriptionBox
  = Tarvik - Add a new zip script file | zipFileBox=backup | scriptNameBox=daily
  = compressionBest=on | zipFileBox=backupab c | scriptNameBox=dailyxzsc | passwordBox=pw.d
  = descriptionBox=a. b | Save
dates from 1980 on; Esc on a change asks, Yes stays, No closes: s.zsc:ModifiedDate=03/15/2004
    zip:s.zsc modifiedDatePicker=1979-12-31 ?modifiedDatePicker modifiedDatePicker=1980-01-01
    ?modifiedDatePicker !Yes Esc !No Esc
  = beep | $keep | $keep | modifiedDatePicker=2004-03-15 | modifiedDatePicker=1980-01-01
  = status: Invalid date. Must be a date 01/01/1980 through 12/31/9999. | closed
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
a rename keeps every key, the row follows: s.zsc:Attachment=Yes;EmailAddress1=a@b.c
    s.zsc:LastRun=x;Error=X $s scriptNameBox=New descriptionBox=2nd saveButton descriptionBox=d
    saveButton
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
names the run would refuse, refused at save: $s zipFileBox=daily/backup saveButton ?messagesBox
    zipFileBox=.. saveButton ?messagesBox zipFileBox=z scriptNameBox=a\b saveButton
  = beep | beep | beep | messagesBox=A zip file name cannot hold the character "/". Please enter a
  + different name. | messagesBox=A zip file name cannot hold the character ".". Please enter a
  + different name. | status: A script file name cannot hold the character "\". Please enter a
  + different name. | Save
a password that cannot be stored: $s passwordBox=a{#12} scriptNameBox=r saveButton
  = beep | status: The password holds a character that cannot be stored. Please use other
  + characters. | Save
long stored values kept whole; typing and pasting keep to the limit: s.zsc:File1=/a;Dir1=/o
    s.zsc:ZipFile={z*260};Description={d*300};$rest zip:s.zsc descriptionBox<more
    passwordBox+={p*100} saveButton
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
  = $file | $file | $dir | Tarvik - Add a new unzip script file | zipFileBox=/b/a.zip
  = list: add nightly.usc|Unzip|restore | $saved | accepted | nightly.usc: File1=*.*; Dir1=/target;
  + ZipFile=/b/Data; Description=restore; Delete=No; Overwrite=Yes; Extract=Newer and non-existing
  = lastFolder=/target
missing fields, under the normal pointer: unzip !Yes deleteFileSpecButton saveButton
  = $delete | beep | message: Warning! The following items are missing:\r\n\r\nDescription\r\nScript
  + File Name\r\nDirectories\r\nFiles To Process\r\nFile To Unzip\r\n\r\nPlease enter this
  + information | Save
Delete and Extract as stored; Esc unchanged closes: a.usc:Delete=YES;Extract=newer
    b.usc:Delete=y;Extract=NEWER_AND_NON-EXISTING c.usc:Delete=No;Extract=some unzip:a.usc
    ?deleteZipFileYes ?extractNewer unzip:b.usc ?deleteZipFileNo ?extractNewerAndNonExisting
    unzip:c.usc ?deleteZipFileNo ?extractAll Esc
  = deleteZipFileYes=on | extractNewer=on | deleteZipFileNo=on | extractNewerAndNonExisting=on
  = deleteZipFileNo=on | extractAll=on | closed
a typed archive needs its full path; a name the run would refuse: $a zipFileBox=later/typed
    saveButton ?messagesBox zipFileBox=/later/typed scriptNameBox=../out saveButton ?messagesBox
    scriptNameBox=a saveButton
  = beep | beep | messagesBox=Please enter the file to unzip with its full path, starting with "/".
  = messagesBox=A script file name cannot hold the character "/". Please enter a different name.
  = $saved | a.usc: ZipFile=/later/typed
a directory added - written whole; a further change saved into the same file: $a !p:/more
    addDirectoryButton $again
  = $dir | $saved | a.usc: Dir2=/more; Delete=Yes; -LastRun; -Error | lastFolder=/more
the description changed - the rest kept: $a descriptionBox=weekly $again
  = list: description weekly | $saved | a.usc: Delete=Yes; Description=weekly
renamed - written whole: $a scriptNameBox=b $again
  = list: name b.usc | $saved | -a.usc | b.usc: Delete=Yes; -LastRun; -Error
unzip script saved into the file it was opened on, whole if gone: w.v2.usc:$keys D.USC:$keys $a
    -a.usc descriptionBox=weekly $again unzip:w.v2.usc descriptionBox=weekly saveButton unzip:D.USC
    descriptionBox=weekly saveButton
  = list: description weekly | list: description weekly | list: description weekly | $saved
  = D.USC: Description=weekly | a.usc: Description=weekly; Delete=Yes; -LastRun; -Error
  = w.v2.usc: Description=weekly
a rename to a name taken: b.usc:Description=other $a scriptNameBox=b saveButton ?focus
  = beep | focus=scriptNameBox | status: File %r/b.usc already exists. Please enter a different file
  + name. | Save
a long stored description kept whole: a.usc:$keys;Description={d*300} unzip:a.usc overwriteNo
    saveButton
  = $saved | a.usc: Overwrite=No
file specs differing in letters; typing rules; Esc on a change, Yes stays: $a !t:_*.TXT_
    addFileSpecButton ?fileSpecList !t:*.TXT editFileSpecButton ?fileSpecList scriptNameBox<x.y
    passwordBox<p_w ?scriptNameBox ?passwordBox !Yes Esc
  = $spec | beep | $spec | $keep | fileSpecList=>*.txt | fileSpecList=>*.TXT | scriptNameBox=axy
  = passwordBox=pw | status: Item already exists. | Save
$mail = Attachment=No;HyperLink=No;SenderName=Tarvik;Sender=yourname@yourmailhost.com
$to = s.zsc:EmailAddress1=a1;EmailAddress2=a2;EmailAddress3=a3;EmailAddress4=a4;EmailAddress5=a5
$five = $to;$mail;Subject=Zip_File;Body=Attached_is_zip_file. email:s.zsc
$none = all but deleteAddressButton deleteAllAddressesButton editAddressButton
$ask = input: Email Addresses
links - stored, stale, off, no zip name: a.zsc:ZipFile=w;HyperLink=Yes;HyperLinkPath=/d2/w.zip
    b.zsc:ZipFile=w;HyperLink=yes b.zsc:HyperLinkPath=/gone/w.zip
    c.zsc:ZipFile=w;HyperLink=No;HyperLinkPath=/d2/w.zip email:a.zsc ?hyperLinkPathCombo email:b.zsc
    ?hyperLinkPathCombo email:c.zsc ?hyperLinkPathCombo email:n.zsc ?hyperLinkPathCombo
  = hyperLinkPathCombo=/d1/w.zip, >/d2/w.zip | hyperLinkPathCombo=>/d1/w.zip, /d2/w.zip
  = hyperLinkPathCombo=>/d1/w.zip, /d2/w.zip (off) | hyperLinkPathCombo=>/d1/.zip, /d2/.zip (off)
  = b.zsc: HyperLinkPath=/d1/w.zip
addresses differing in letters: s.zsc:EmailAddress1=a@b.c;EmailAddress2=d@e.f email:s.zsc !t:_D@E.F_
    addAddressButton !t:A@B.C editAddressButton !t:D@E.F editAddressButton ?addressList
  = $ask | beep | message: Item already exists. | $ask | $ask | beep | message: Item already exists.
  = addressList=>A@B.C, d@e.f | Save
five addresses to two, saved; then none: $five !Yes deleteAddressButton !Yes deleteAddressButton
    !Yes deleteAddressButton saveButton !Yes deleteAddressButton !Yes deleteAddressButton snap
  = $delete | $delete | $delete | $delete | $delete | $none | Save | s.zsc: EmailAddress1=a4;
  + EmailAddress2=a5; -EmailAddress3; -EmailAddress4; -EmailAddress5
Delete All: $five !Yes deleteAllAddressesButton snap saveButton
  = message: Are you sure you want to delete all the items? | $none | s.zsc: -EmailAddress1;
  + -EmailAddress2; -EmailAddress3; -EmailAddress4; -EmailAddress5
emptied field saved, its default shown; Return, Enter keep the body; a link: s.zsc:Body=one_line
    s.zsc:Subject=Weekly;Sender=me@here email:s.zsc ?subjectBox subjectBox= saveButton email:s.zsc
    ?subjectBox ?senderAddressBox bodyBox<! Return Enter bodyBox<x ?bodyBox hyperLinkCheck
    ?hyperLinkPathCombo !Yes closeButton
  = $keep | subjectBox=Weekly | subjectBox=Zip File | senderAddressBox=me@here | bodyBox=one line!x
  = hyperLinkPathCombo=>/d1/.zip, /d2/.zip | Save | s.zsc: Attachment=No; HyperLink=No;
  + SenderName=Tarvik; -Subject
$scripts = folder: Select the location of the script files
what it shows: tarvik.ini:ScriptFilePath=/data/scripts/;NewErrorFile=YES options ? ?scriptFolderBox
    ?errorFolderBox ?mailPortBox ?uncPathsCheck ?newErrorFileCheck ?settingsFileLabel Esc
  = Tarvik - Options Screen | scriptFolderBox=/data/scripts/ (ro) | errorFolderBox=%r/state (ro)
  = mailPortBox=25 | uncPathsCheck=on | newErrorFileCheck=on
  = settingsFileLabel=Settings file: %r/tarvik.ini | closed
typing - no full stops in names, 250 characters at most: options zipScriptNameBox<a.b zipFileBox<.x.
    unzipScriptNameBox<{n*251} ?zipScriptNameBox ?zipFileBox ?unzipScriptNameBox
  = zipScriptNameBox=ab | zipFileBox=x | unzipScriptNameBox={n*250} | Save
typing the port - digits only, three at most, no leading zeros once left: options mailPortBox=
    mailPortBox<abc mailServerBox< ?mailPortBox mailPortBox= mailPortBox<007 mailServerBox<
    ?mailPortBox mailPortBox= mailPortBox<65535 ?mailPortBox
  = mailPortBox=0 | mailPortBox=7 | mailPortBox=655 | Save
pickers - an archive without its ending, folders without a last separator; Esc asks: options
    !p:/b/Data.ZIP chooseUnzipFileButton !p:/data/new/ chooseScriptFolderButton !p:
    chooseScriptFolderButton !p:/ chooseErrorFolderButton ?unzipFileBox ?scriptFolderBox
    ?errorFolderBox !Yes Esc
  = file: Select a file to unzip | $scripts | $scripts | folder: Select the location of the error
  + file | $keep | unzipFileBox=/b/Data (ro) | scriptFolderBox=/data/new (ro)
  = errorFolderBox=/ (ro) | Save | lastFolder=/b
Save - long stored values saved whole: tarvik.ini:ZipScriptFile=daily;MailServerPort=587
    tarvik.ini:ScriptFilePath=/{f*300};UnzipFile=/{a*260} tarvik.ini:ZipFile=/{a*260} options
    zipScriptNameBox= unzipScriptNameBox=restore mailServerBox=mail.example.org mailPortBox=
    alertAddressBox=_ops@example.org,me@example.org_ militaryTimeCheck saveButton
  = tarvik.ini: MailServerPort=0; UNC_Paths=Yes; NewErrorFile=No; MilitaryTime=No;
  + UnzipScriptFile=restore; ErrorFilePath=%r/state; MailServer=mail.example.org;
  + AlertAddress=ops@example.org,me@example.org; -ZipScriptFile
)",
         {{u"$secret"_s, *tarvik::Scramble(u"secret")},
          {u"$pw"_s, *tarvik::Scramble(u"pw")},
          {u"$p80"_s, *tarvik::Scramble(QString(80, u'p'))}});
}

QTEST_MAIN(EditorScreensTest)
#include "tst_editor_screens.moc"
