// The options screen on a real settings file (%r/tarvik.ini, the program in %r).
#include "ui/editors/EditorFixture.h"

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void screen_data();
    void screen() { checkSteps<EditorFixture>(); }
};

void OptionsDialogTest::screen_data() {
    rows(R"(
$scripts = folder: Select the location of the script files
what it shows: tarvik.ini:ScriptFilePath=/data/scripts/;NewErrorFile=YES options ? ?scriptFolderBox
    ?errorFolderBox ?mailPortBox ?uncPathsCheck ?newErrorFileCheck Esc
  = Tarvik - Options Screen | scriptFolderBox=/data/scripts/ (ro) | errorFolderBox=%r (ro)
  = mailPortBox=25 | uncPathsCheck=on | newErrorFileCheck=on | closed
typing - no full stops in names, 250 characters at most: options zipScriptNameBox<a.b zipFileBox<.x.
    unzipScriptNameBox<{n*251} ?zipScriptNameBox ?zipFileBox ?unzipScriptNameBox
  = zipScriptNameBox=ab | zipFileBox=x | unzipScriptNameBox={n*250} | Save
typing the port - digits only, three at most, no leading zeros once left: options mailPortBox=
    mailPortBox<abc ?mailPortBox mailServerBox< ?mailPortBox mailPortBox= mailPortBox<1a2
    mailServerBox< ?mailPortBox mailPortBox= mailPortBox<007 ?mailPortBox mailServerBox<
    ?mailPortBox mailPortBox= mailPortBox<65535 ?mailPortBox
  = mailPortBox= | mailPortBox=0 | mailPortBox=12 | mailPortBox=007 | mailPortBox=7
  = mailPortBox=655 | Save
pickers - an archive without its ending, folders without their last separator, the root kept: options
    !p:/b/Data.ZIP chooseUnzipFileButton !p:/data/new/ chooseScriptFolderButton !p:
    chooseScriptFolderButton !p:/ chooseErrorFolderButton ?unzipFileBox ?scriptFolderBox
    ?errorFolderBox
  = file: Select a file to unzip | $scripts | $scripts | folder: Select the location of the error
  + file | unzipFileBox=/b/Data (ro) | scriptFolderBox=/data/new (ro) | errorFolderBox=/ (ro) | Save
  = lastFolder=/b
Save - long stored values saved whole: tarvik.ini:ZipScriptFile=daily;MailServerPort=587;ScriptFilePath=/{f*300};UnzipFile=/{a*260}
    tarvik.ini:ZipFile=/{a*260} options zipScriptNameBox= unzipScriptNameBox=restore
    mailServerBox=mail.example.org mailPortBox= militaryTimeCheck saveButton
  = tarvik.ini: MailServerPort=0; UNC_Paths=Yes; NewErrorFile=No; MilitaryTime=No;
  + UnzipScriptFile=restore; ErrorFilePath=%r; MailServer=mail.example.org; -ZipScriptFile
closed changed, Yes stays: options !p:/elsewhere chooseScriptFolderButton !Yes Esc
  = $scripts | message: Do you want to save your changes before closing this screen? | Save
)");
}

QTEST_MAIN(OptionsDialogTest)
#include "tst_options_dialog.moc"
