// The e-mail settings screen on real script files, opened with the
// directories /d1 and /d2.
#include "EditorFixture.h"

class EmailSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void screen_data();
    void screen() { checkSteps<EditorFixture>(); }
};

void EmailSettingsTest::screen_data() {
    rows(R"(
$mail = Attachment=No;HyperLink=No;SenderName=Tarvik;Sender=yourname@yourmailhost.com
$to = s.zsc:EmailAddress1=a1;EmailAddress2=a2;EmailAddress3=a3;EmailAddress4=a4;EmailAddress5=a5
$five = $to;$mail;Subject=Zip_File;Body=Attached_is_zip_file. email:s.zsc
$none = all but deleteAddressButton deleteAllAddressesButton editAddressButton
$delete = message: Are you sure you want to delete the selected item?
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
an emptied field saved, its default shown: s.zsc:Subject=Weekly;Sender=me@here email:s.zsc
    ?subjectBox subjectBox= saveButton email:s.zsc ?subjectBox ?senderAddressBox
  = subjectBox=Weekly | subjectBox=Zip File | senderAddressBox=me@here | s.zsc: Attachment=No;
  + HyperLink=No; SenderName=Tarvik; Body=Attached is zip file.; -Subject
Return and Enter do not break the body: s.zsc:Body=one_line email:s.zsc bodyBox<! Return Enter
    bodyBox<x ?bodyBox
  = bodyBox=one line!x | Save
closed changed, Yes stays: email:s.zsc hyperLinkCheck ?hyperLinkPathCombo !Yes closeButton
  = message: Do you want to save your changes before closing this screen?
  = hyperLinkPathCombo=>/d1/.zip, /d2/.zip | Save
)");
}

QTEST_MAIN(EmailSettingsTest)
#include "tst_email_settings.moc"
