<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CAddressBookDlg</name>
    <message>
        <source>Select Fax Number</source>
        <translation>Faxnummer auswählen</translation>
    </message>
    <message>
        <source>Select the contacts you wish to add from the list below.  You can select multiple contacts by holding down the &quot;ctrl&quot; key.</source>
        <translation>Wählen Sie in der Liste unten die Kontakte aus, die Sie hinzufügen möchten.  Mit gedrückter Strg-Taste können Sie mehrere Kontakte auswählen.</translation>
    </message>
    <message>
        <source>Type name or select from list</source>
        <translation>Namen eingeben oder aus der Liste wählen</translation>
    </message>
    <message>
        <source>Find a contact</source>
        <translation>Kontakt suchen</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>To &gt;&gt;</source>
        <translation>An &gt;&gt;</translation>
    </message>
    <message>
        <source>&lt;&lt; Remove</source>
        <translation>&lt;&lt; Entfernen</translation>
    </message>
    <message>
        <source>Fax Recipients</source>
        <translation>Faxempfänger</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Choose fax number</source>
        <translation>Faxnummer wählen</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Business Fax</source>
        <translation>Fax geschäftlich</translation>
    </message>
    <message>
        <source>Home Fax</source>
        <translation>Fax privat</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>&amp;Contacts...</source>
        <translation>&amp;Kontakte...</translation>
    </message>
    <message>
        <source>Open the Contacts window</source>
        <translation>Das Kontakte-Fenster öffnen</translation>
    </message>
</context>
<context>
    <name>CAttachFile</name>
    <message>
        <source>Zephrim Files (*.doc; *.wps; *.txt; *.bmp; *.jpg; *.jpeg)</source>
        <translation>Zephrim-Dateien (*.doc; *.wps; *.txt; *.bmp; *.jpg; *.jpeg)</translation>
    </message>
    <message>
        <source>Word Documents (*.doc)</source>
        <translation>Word-Dokumente (*.doc)</translation>
    </message>
    <message>
        <source>Word Perfect (*.doc; *.wpd)</source>
        <translation>WordPerfect (*.doc; *.wpd)</translation>
    </message>
    <message>
        <source>Text Files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>Bitmap (*.bmp)</source>
        <translation>Bitmap (*.bmp)</translation>
    </message>
    <message>
        <source>JPEG Files (*.jpg; *.jpeg)</source>
        <translation>JPEG-Dateien (*.jpg; *.jpeg)</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <source>Add File</source>
        <translation>Datei hinzufügen</translation>
    </message>
    <message>
        <source>File Attachment - Send a Fax</source>
        <translation>Dateianhang - Fax senden</translation>
    </message>
    <message>
        <source>Files:</source>
        <translation>Dateien:</translation>
    </message>
    <message>
        <source>Attached files</source>
        <translation>Angehängte Dateien</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen...</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen...</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Please add a file</source>
        <translation>Bitte fügen Sie eine Datei hinzu</translation>
    </message>
    <message>
        <source>Fax Documents (*.pdf; *.tif; *.tiff; *.png; *.jpg; *.jpeg; *.txt; *.odt; *.ods; *.odp; *.odg; *.doc; *.docx)</source>
        <translation>Faxdokumente (*.pdf; *.tif; *.tiff; *.png; *.jpg; *.jpeg; *.txt; *.odt; *.ods; *.odp; *.odg; *.doc; *.docx)</translation>
    </message>
    <message>
        <source>Click the Add button to add the files you wish to fax, or drop them on the list. You may attach several files; they are sent in the order of the list. We support: PDF documents, TIFF, PNG and JPEG pictures, text files, and OpenDocument and Microsoft Word documents.</source>
        <translation>Klicken Sie auf „Hinzufügen“, um die Dateien hinzuzufügen, die Sie faxen möchten, oder ziehen Sie sie auf die Liste. Sie können mehrere Dateien anhängen; sie werden in der Reihenfolge der Liste gesendet. Unterstützt werden: PDF-Dokumente, TIFF-, PNG- und JPEG-Bilder, Textdateien sowie OpenDocument- und Microsoft-Word-Dokumente.</translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation>Nach &amp;oben</translation>
    </message>
    <message>
        <source>Move the selected files up</source>
        <translation>Die gewählten Dateien nach oben verschieben</translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>Move the selected files down</source>
        <translation>Die gewählten Dateien nach unten verschieben</translation>
    </message>
    <message>
        <source>Send a &amp;cover sheet in front of the files</source>
        <translation>Ein &amp;Deckblatt vor die Dateien setzen</translation>
    </message>
    <message>
        <source>Send a cover sheet</source>
        <translation>Ein Deckblatt senden</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 gibt es nicht.</translation>
    </message>
    <message>
        <source>%1 is a folder; please add the files in it.</source>
        <translation>%1 ist ein Ordner; bitte fügen Sie die Dateien darin hinzu.</translation>
    </message>
    <message>
        <source>%1 cannot be read.</source>
        <translation>%1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>%1 is attached already.</source>
        <translation>%1 ist bereits angehängt.</translation>
    </message>
    <message>
        <source>These files were not added:</source>
        <translation>Diese Dateien wurden nicht hinzugefügt:</translation>
    </message>
</context>
<context>
    <name>CChooseFaxNumberDlg</name>
    <message>
        <source>Choose Fax Number</source>
        <translation>Faxnummer wählen</translation>
    </message>
    <message>
        <source>Choose Fax Number - %1</source>
        <translation>Faxnummer wählen - %1</translation>
    </message>
    <message>
        <source>Fax numbers</source>
        <translation>Faxnummern</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Home Phone</source>
        <translation>Telefon privat</translation>
    </message>
    <message>
        <source>Business Phone</source>
        <translation>Telefon geschäftlich</translation>
    </message>
    <message>
        <source>Home Fax</source>
        <translation>Fax privat</translation>
    </message>
    <message>
        <source>Business Fax</source>
        <translation>Fax geschäftlich</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Nummer</translation>
    </message>
</context>
<context>
    <name>CLogoPickerDlg</name>
    <message>
        <source>Select Logo Image</source>
        <translation>Logobild auswählen</translation>
    </message>
    <message>
        <source>Double click to view the original image.</source>
        <translation>Doppelklicken Sie, um das Originalbild anzuzeigen.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Logo images</source>
        <translation>Logobilder</translation>
    </message>
    <message>
        <source>Image (*.bmp)</source>
        <translation>Bild (*.bmp)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>CMainHostDlg</name>
    <message>
        <source>Adding the cover sheet to your fax...</source>
        <translation>Das Deckblatt wird Ihrem Fax vorangestellt...</translation>
    </message>
    <message>
        <source>Send a Fax</source>
        <translation>Fax senden</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Send an Internet Fax - Enter Fax Number</source>
        <translation>Internet-Fax senden - Faxnummer eingeben</translation>
    </message>
    <message>
        <source>Send an Internet Fax - Add File</source>
        <translation>Internet-Fax senden - Datei hinzufügen</translation>
    </message>
    <message>
        <source>Send an Internet Fax - Schedule Fax</source>
        <translation>Internet-Fax senden - Fax planen</translation>
    </message>
    <message>
        <source>The file you attached cannot be read:
%1
Please add the file again.</source>
        <translation>Die angehängte Datei kann nicht gelesen werden:
%1
Bitte fügen Sie die Datei erneut hinzu.</translation>
    </message>
    <message>
        <source>The file could not be copied to the Corvinaport Outbox folder:
%1outbox/
Your fax was not sent. The file you attached is still in:
%2</source>
        <translation>Die Datei konnte nicht in den Corvinaport-Postausgang kopiert werden:
%1outbox/
Ihr Fax wurde nicht gesendet. Die angehängte Datei liegt weiterhin in:
%2</translation>
    </message>
    <message>
        <source>Your fax could not be saved in the Corvinaport Outbox.</source>
        <translation>Ihr Fax konnte nicht im Corvinaport-Postausgang gespeichert werden.</translation>
    </message>
    <message>
        <source>
The document is kept in:
%1</source>
        <translation>
Das Dokument liegt weiterhin in:
%1</translation>
    </message>
    <message>
        <source>Preparing your fax...</source>
        <translation>Ihr Fax wird vorbereitet...</translation>
    </message>
    <message>
        <source>Saving your fax in the Corvinaport Outbox...</source>
        <translation>Ihr Fax wird im Corvinaport-Postausgang gespeichert...</translation>
    </message>
    <message>
        <source>Your fax was not sent or saved.
The files you attached are where they were.</source>
        <translation>Ihr Fax wurde weder gesendet noch gespeichert.
Die angehängten Dateien liegen weiterhin dort, wo sie waren.</translation>
    </message>
</context>
<context>
    <name>CNetFaxPropSheet</name>
    <message>
        <source>&lt; &amp;Back</source>
        <translation>&lt; &amp;Zurück</translation>
    </message>
    <message>
        <source>&amp;Next &gt;</source>
        <translation>&amp;Weiter &gt;</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Fertig stellen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
</context>
<context>
    <name>CPageViewer</name>
    <message>
        <source>Preview - Send a Fax</source>
        <translation>Vorschau - Fax senden</translation>
    </message>
    <message>
        <source>&lt; &amp;Previous</source>
        <translation>&lt; &amp;Zurück</translation>
    </message>
    <message>
        <source>Previous page</source>
        <translation>Vorherige Seite</translation>
    </message>
    <message>
        <source>Page number</source>
        <translation>Seitennummer</translation>
    </message>
    <message>
        <source>Ne&amp;xt &gt;</source>
        <translation>&amp;Weiter &gt;</translation>
    </message>
    <message>
        <source>Next page</source>
        <translation>Nächste Seite</translation>
    </message>
    <message>
        <source>Zoom &amp;out</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Zoom &amp;in</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Fit &amp;width</source>
        <translation>An &amp;Breite anpassen</translation>
    </message>
    <message>
        <source>Fit the page to the window&apos;s width</source>
        <translation>Die Seite an die Breite des Fensters anpassen</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Seite</translation>
    </message>
    <message>
        <source>Page picture</source>
        <translation>Bild der Seite</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
    <message>
        <source>This page can no longer be read.</source>
        <translation>Diese Seite kann nicht mehr gelesen werden.</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Dokument</translation>
    </message>
</context>
<context>
    <name>CScheduleFax</name>
    <message>
        <source>Schedule the Fax - Send a Fax</source>
        <translation>Fax planen - Fax senden</translation>
    </message>
    <message>
        <source>Send Fax</source>
        <translation>Fax senden</translation>
    </message>
    <message>
        <source>Your fax is ready to be sent.  If you would like to go back and make changes before sending the fax, click the Back button.  Click the Finish button to send the fax.</source>
        <translation>Ihr Fax ist bereit zum Senden.  Wenn Sie vor dem Senden noch etwas ändern möchten, klicken Sie auf „Zurück“.  Klicken Sie auf „Fertig stellen“, um das Fax zu senden.</translation>
    </message>
    <message>
        <source>Select when you would like to send this fax:</source>
        <translation>Wählen Sie, wann dieses Fax gesendet werden soll:</translation>
    </message>
    <message>
        <source>Send this &amp;fax immediately</source>
        <translation>&amp;Fax sofort senden</translation>
    </message>
    <message>
        <source>&amp;Place fax in &quot;outbox&quot;</source>
        <translation>Fax in den „&amp;Postausgang“ legen</translation>
    </message>
    <message>
        <source>Pre&amp;view</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>Preview the fax</source>
        <translation>Vorschau des Faxes</translation>
    </message>
</context>
<context>
    <name>CSelCover</name>
    <message>
        <source>Cover Sheet - Send a Fax</source>
        <translation>Deckblatt - Fax senden</translation>
    </message>
    <message>
        <source>I want to send a coversheet</source>
        <translation>Ich möchte ein Deckblatt senden</translation>
    </message>
    <message>
        <source>Logo:</source>
        <translation>Logo:</translation>
    </message>
    <message>
        <source>Logo</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Memo:</source>
        <translation>Notiz:</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>Notiz</translation>
    </message>
    <message>
        <source>Logo name</source>
        <translation>Logoname</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keines</translation>
    </message>
</context>
<context>
    <name>CSelRecipient</name>
    <message>
        <source>Select Recipients - Send a Fax</source>
        <translation>Empfänger auswählen - Fax senden</translation>
    </message>
    <message>
        <source>Enter Fax Number</source>
        <translation>Faxnummer eingeben</translation>
    </message>
    <message>
        <source>Fax Number:</source>
        <translation>Faxnummer:</translation>
    </message>
    <message>
        <source> (All numbers require 1 plus area code)</source>
        <translation> (Alle Nummern mit 1 und Vorwahl)</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>Fax number</source>
        <translation>Faxnummer</translation>
    </message>
    <message>
        <source>Address book</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <source>To: open the address book</source>
        <translation>An: Adressbuch öffnen</translation>
    </message>
    <message>
        <source>Ctrl+B</source>
        <translation>Ctrl+B</translation>
    </message>
    <message>
        <source>Recipient name:</source>
        <translation>Name des Empfängers:</translation>
    </message>
    <message>
        <source>(Optional)</source>
        <translation>(Optional)</translation>
    </message>
    <message>
        <source>First:</source>
        <translation>Vorname:</translation>
    </message>
    <message>
        <source>Last:</source>
        <translation>Nachname:</translation>
    </message>
    <message>
        <source>Recipient first name</source>
        <translation>Vorname des Empfängers</translation>
    </message>
    <message>
        <source>Recipient last name</source>
        <translation>Nachname des Empfängers</translation>
    </message>
    <message>
        <source>Email Address:</source>
        <translation>E-Mail-Adresse:</translation>
    </message>
    <message>
        <source>Email address</source>
        <translation>E-Mail-Adresse</translation>
    </message>
    <message>
        <source>Add &amp;to Recipient List  </source>
        <translation>Zur Empfängerliste &amp;hinzufügen  </translation>
    </message>
    <message>
        <source>Recipients:</source>
        <translation>Empfänger:</translation>
    </message>
    <message>
        <source>Recipients</source>
        <translation>Empfänger</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Get Zephrim Now</source>
        <translation>Zephrim jetzt holen</translation>
    </message>
    <message>
        <source>Please enter valid Fax number or Email address!</source>
        <translation>Bitte geben Sie eine gültige Faxnummer oder E-Mail-Adresse ein!</translation>
    </message>
    <message>
        <source>Please enter at least one recipient!</source>
        <translation>Bitte geben Sie mindestens einen Empfänger ein!</translation>
    </message>
    <message>
        <source>Add a &amp;Distribution List...</source>
        <translation>&amp;Verteilerliste hinzufügen...</translation>
    </message>
</context>
<context>
    <name>CTaskProgressWnd</name>
    <message>
        <source> Cancel </source>
        <translation> Abbrechen </translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>Wird angehalten...</translation>
    </message>
</context>
<context>
    <name>ContactEditDlg</name>
    <message>
        <source>&amp;Display name:</source>
        <translation>&amp;Anzeigename:</translation>
    </message>
    <message>
        <source>&amp;Title:</source>
        <translation>&amp;Titel:</translation>
    </message>
    <message>
        <source>&amp;First name:</source>
        <translation>&amp;Vorname:</translation>
    </message>
    <message>
        <source>&amp;Middle name:</source>
        <translation>&amp;Zweiter Vorname:</translation>
    </message>
    <message>
        <source>&amp;Last name:</source>
        <translation>&amp;Nachname:</translation>
    </message>
    <message>
        <source>Su&amp;ffix:</source>
        <translation>Na&amp;menszusatz:</translation>
    </message>
    <message>
        <source>&amp;E-mail:</source>
        <translation>&amp;E-Mail:</translation>
    </message>
    <message>
        <source>&amp;Business fax:</source>
        <translation>&amp;Fax geschäftlich:</translation>
    </message>
    <message>
        <source>H&amp;ome fax:</source>
        <translation>Fax p&amp;rivat:</translation>
    </message>
    <message>
        <source>B&amp;usiness phone:</source>
        <translation>Telefon ge&amp;schäftlich:</translation>
    </message>
    <message>
        <source>Home &amp;phone:</source>
        <translation>Telefon &amp;privat:</translation>
    </message>
    <message>
        <source>Mo&amp;bile:</source>
        <translation>Mo&amp;bil:</translation>
    </message>
    <message>
        <source>Pa&amp;ger:</source>
        <translation>Pa&amp;ger:</translation>
    </message>
    <message>
        <source>(not imported)</source>
        <translation>(nicht importiert)</translation>
    </message>
    <message>
        <source>Phone (its kind in the Type column)</source>
        <translation>Telefon (Art in der Typ-Spalte)</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Notiz</translation>
    </message>
    <message>
        <source>New Contact</source>
        <translation>Neuer Kontakt</translation>
    </message>
    <message>
        <source>Edit Contact</source>
        <translation>Kontakt bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Note:</source>
        <translation>No&amp;tiz:</translation>
    </message>
</context>
<context>
    <name>ContactsWindow</name>
    <message>
        <source>Address books (*.vcf *.vcard *.csv *.ldif *.ldi *.txt);;All files (*)</source>
        <translation>Adressbücher (*.vcf *.vcard *.csv *.ldif *.ldi *.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Export Contacts</source>
        <translation>Kontakte exportieren</translation>
    </message>
    <message>
        <source>vCard files (*.vcf)</source>
        <translation>vCard-Dateien (*.vcf)</translation>
    </message>
    <message>
        <source>Import Contacts</source>
        <translation>Kontakte importieren</translation>
    </message>
    <message>
        <source>Distribution List</source>
        <translation>Verteilerliste</translation>
    </message>
    <message>
        <source>Name of the list:</source>
        <translation>Name der Liste:</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Contacts - Corvinaport</source>
        <translation>Kontakte - Corvinaport</translation>
    </message>
    <message>
        <source>&amp;Search:</source>
        <translation>&amp;Suchen:</translation>
    </message>
    <message>
        <source>Find a contact</source>
        <translation>Einen Kontakt suchen</translation>
    </message>
    <message>
        <source>Distribution &amp;lists:</source>
        <translation>&amp;Verteilerlisten:</translation>
    </message>
    <message>
        <source>Distribution lists</source>
        <translation>Verteilerlisten</translation>
    </message>
    <message>
        <source>&amp;New...</source>
        <translation>&amp;Neu...</translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation>&amp;Bearbeiten...</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>E&amp;xport...</source>
        <translation>E&amp;xportieren...</translation>
    </message>
    <message>
        <source>&amp;Make List...</source>
        <translation>Liste &amp;anlegen...</translation>
    </message>
    <message>
        <source>Delete Lis&amp;t</source>
        <translation>Lis&amp;te löschen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>The address book cannot be read. It is shown empty and is not changed.</source>
        <translation>Das Adressbuch kann nicht gelesen werden. Es wird leer angezeigt und nicht geändert.</translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n contacts)</source>
        <translation>
            <numerusform>%1 (%n Kontakt)</numerusform>
            <numerusform>%1 (%n Kontakte)</numerusform>
        </translation>
    </message>
    <message>
        <source>The address book was changed by another program and has been read again.</source>
        <translation>Das Adressbuch wurde von einem anderen Programm geändert und neu gelesen.</translation>
    </message>
    <message>
        <source>The address book is busy in another program. Try again in a moment.</source>
        <translation>Das Adressbuch wird gerade von einem anderen Programm benutzt. Versuchen Sie es gleich noch einmal.</translation>
    </message>
    <message>
        <source>The address book cannot be read, so it was not changed.</source>
        <translation>Das Adressbuch kann nicht gelesen werden und wurde daher nicht geändert.</translation>
    </message>
    <message>
        <source>The address book could not be saved. It was left as it was.</source>
        <translation>Das Adressbuch konnte nicht gespeichert werden. Es ist unverändert.</translation>
    </message>
    <message numerus="yes">
        <source>%n of the contacts you changed had been changed or deleted by another program meanwhile. An edited contact was kept as a new contact.</source>
        <translation>
            <numerusform>%n der von Ihnen geänderten Kontakte war inzwischen von einem anderen Programm geändert oder gelöscht worden. Ein bearbeiteter Kontakt wurde als neuer Kontakt behalten.</numerusform>
            <numerusform>%n der von Ihnen geänderten Kontakte waren inzwischen von einem anderen Programm geändert oder gelöscht worden. Ein bearbeiteter Kontakt wurde als neuer Kontakt behalten.</numerusform>
        </translation>
    </message>
    <message>
        <source>The address book had been changed by another program; your change was made on its new content.</source>
        <translation>Das Adressbuch war von einem anderen Programm geändert worden; Ihre Änderung wurde auf dem neuen Stand vorgenommen.</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Gespeichert.</translation>
    </message>
    <message>
        <source>Delete %1 from the address book?</source>
        <translation>%1 aus dem Adressbuch löschen?</translation>
    </message>
    <message numerus="yes">
        <source>Delete the %n selected contacts from the address book?</source>
        <translation>
            <numerusform>Den %n ausgewählten Kontakt aus dem Adressbuch löschen?</numerusform>
            <numerusform>Die %n ausgewählten Kontakte aus dem Adressbuch löschen?</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 cannot be read. Nothing was imported.</source>
        <translation>%1 kann nicht gelesen werden. Es wurde nichts importiert.</translation>
    </message>
    <message>
        <source>%1 is not a vCard, CSV or LDIF file. Nothing was imported.</source>
        <translation>%1 ist keine vCard-, CSV- oder LDIF-Datei. Es wurde nichts importiert.</translation>
    </message>
    <message>
        <source>%1, line %2: %3</source>
        <translation>%1, Zeile %2: %3</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts added.</source>
        <translation>
            <numerusform>%n Kontakt hinzugefügt.</numerusform>
            <numerusform>%n Kontakte hinzugefügt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n merged, %1 already in the book, %2 kept beside a contact of the same name and fax number, %3 skipped.</source>
        <translation>
            <numerusform>%n zusammengeführt, %1 schon im Adressbuch, %2 neben einem Kontakt mit gleichem Namen und gleicher Faxnummer behalten, %3 übersprungen.</numerusform>
            <numerusform>%n zusammengeführt, %1 schon im Adressbuch, %2 neben einem Kontakt mit gleichem Namen und gleicher Faxnummer behalten, %3 übersprungen.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 could not be written.</source>
        <translation>%1 konnte nicht geschrieben werden.</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts exported.</source>
        <translation>
            <numerusform>%n Kontakt exportiert.</numerusform>
            <numerusform>%n Kontakte exportiert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Select the contacts of the list first.</source>
        <translation>Wählen Sie zuerst die Kontakte der Liste aus.</translation>
    </message>
    <message>
        <source>Delete the distribution list %1? Its contacts stay in the address book.</source>
        <translation>Die Verteilerliste %1 löschen? Ihre Kontakte bleiben im Adressbuch.</translation>
    </message>
    <message>
        <source>The address book has no distribution lists yet. Make one in the Contacts window.</source>
        <translation>Das Adressbuch hat noch keine Verteilerlisten. Legen Sie eine im Kontakte-Fenster an.</translation>
    </message>
    <message>
        <source>Send to the members of:</source>
        <translation>An die Mitglieder senden von:</translation>
    </message>
    <message numerus="yes">
        <source>%n members of the list have no fax number or e-mail address and were left out.</source>
        <translation>
            <numerusform>%n Mitglied der Liste hat weder Faxnummer noch E-Mail-Adresse und wurde ausgelassen.</numerusform>
            <numerusform>%n Mitglieder der Liste haben weder Faxnummer noch E-Mail-Adresse und wurden ausgelassen.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CsvMappingDlg</name>
    <message>
        <source>Import Columns</source>
        <translation>Spalten importieren</translation>
    </message>
    <message>
        <source>Choose the field each column of %1 goes to. The same choice is used the next time a file with these columns is imported.</source>
        <translation>Wählen Sie für jede Spalte von %1 das Feld, in das sie übernommen wird. Dieselbe Wahl gilt beim nächsten Import einer Datei mit diesen Spalten.</translation>
    </message>
    <message>
        <source>Column</source>
        <translation>Spalte</translation>
    </message>
    <message>
        <source>First row</source>
        <translation>Erste Zeile</translation>
    </message>
    <message>
        <source>Field</source>
        <translation>Feld</translation>
    </message>
    <message>
        <source>Columns of the file</source>
        <translation>Spalten der Datei</translation>
    </message>
    <message>
        <source>Field for column %1</source>
        <translation>Feld für Spalte %1</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>Hilfeseite</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation>&amp;Vorwärts</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>&amp;Home</source>
        <translation>&amp;Startseite</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Startseite</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Back (%1)</source>
        <translation>Zurück (%1)</translation>
    </message>
    <message>
        <source>Forward (%1)</source>
        <translation>Vorwärts (%1)</translation>
    </message>
</context>
<context>
    <name>HyperLink</name>
    <message>
        <source>The operating system is out
of memory or resources.</source>
        <translation>Dem Betriebssystem fehlt
Speicher oder Ressourcen.</translation>
    </message>
    <message>
        <source>The specified file was not found.</source>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The specified path was not found.</source>
        <translation>Der angegebene Pfad wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The operating system denied
access to the specified file.</source>
        <translation>Das Betriebssystem hat den Zugriff
auf die angegebene Datei verweigert.</translation>
    </message>
    <message>
        <source>There was not enough memory to complete the operation.</source>
        <translation>Für diesen Vorgang war nicht genug Speicher vorhanden.</translation>
    </message>
    <message>
        <source>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</source>
        <translation>Die Programmdatei ist ungültig
(kein Win32-Programm oder fehlerhafte Programmdatei).</translation>
    </message>
    <message>
        <source>A sharing violation occurred. </source>
        <translation>Eine Zugriffsverletzung bei gemeinsamer Nutzung ist aufgetreten. </translation>
    </message>
    <message>
        <source>The filename association is
incomplete or invalid.</source>
        <translation>Die Dateizuordnung ist
unvollständig oder ungültig.</translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because the request timed out.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil die Anfrage zu lange dauerte.</translation>
    </message>
    <message>
        <source>The DDE transaction failed.</source>
        <translation>Die DDE-Transaktion ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because other DDE transactions
were being processed.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil andere DDE-Transaktionen
bearbeitet wurden.</translation>
    </message>
    <message>
        <source>There is no application associated
with the given filename extension.</source>
        <translation>Der angegebenen Dateiendung ist
kein Programm zugeordnet.</translation>
    </message>
    <message>
        <source>The specified dynamic-link library was not found.</source>
        <translation>Die angegebene Programmbibliothek wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>Unknown Error (%1) occurred.</source>
        <translation>Unbekannter Fehler (%1) ist aufgetreten.</translation>
    </message>
    <message>
        <source>Unable to open hyperlink:

</source>
        <translation>Der Link kann nicht geöffnet werden:

</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>Windows sockets initialization failed.</source>
        <translation>Die Netzwerkschnittstelle konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Send a Fax - Corvinaport</source>
        <translation>Fax senden - Corvinaport</translation>
    </message>
    <message>
        <source>Your fax will be saved. You may send it later
by accessing Corvinaport Outbox.</source>
        <translation>Ihr Fax wird gespeichert. Sie können es später
über den Corvinaport-Postausgang senden.</translation>
    </message>
    <message>
        <source>Corvinaport</source>
        <translation>Corvinaport</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Bestätigen</translation>
    </message>
    <message>
        <source>Download Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Do you want to stop the task?</source>
        <translation>Möchten Sie den Vorgang abbrechen?</translation>
    </message>
    <message>
        <source>Send a Fax</source>
        <translation>Fax senden</translation>
    </message>
    <message>
        <source>Your fax has been sent!</source>
        <translation>Ihr Fax wurde gesendet!</translation>
    </message>
    <message>
        <source>Your fax could not be sent! It will be saved so you can try to send it later.</source>
        <translation>Ihr Fax konnte nicht gesendet werden! Es wird gespeichert, damit Sie es später erneut senden können.</translation>
    </message>
    <message>
        <source>Sending your fax, please wait...</source>
        <translation>Ihr Fax wird gesendet, bitte warten...</translation>
    </message>
    <message>
        <source>Not Connected to the Internet</source>
        <translation>Nicht mit dem Internet verbunden</translation>
    </message>
    <message>
        <source>Connect to CompuServe?</source>
        <translation>Mit CompuServe verbinden?</translation>
    </message>
    <message>
        <source>Connect to AOL?</source>
        <translation>Mit AOL verbinden?</translation>
    </message>
    <message>
        <source>Not Connected to CompuServe</source>
        <translation>Nicht mit CompuServe verbunden</translation>
    </message>
    <message>
        <source>Not Connected to AOL</source>
        <translation>Nicht mit AOL verbunden</translation>
    </message>
    <message>
        <source>Connecting to the Internet</source>
        <translation>Verbindung mit dem Internet wird hergestellt</translation>
    </message>
    <message>
        <source>Do you want to stop connecting to the Internet?</source>
        <translation>Möchten Sie den Verbindungsaufbau zum Internet abbrechen?</translation>
    </message>
    <message>
        <source>Unable to connect to CompuServe 2000.</source>
        <translation>Verbindung mit CompuServe 2000 nicht möglich.</translation>
    </message>
    <message>
        <source>Unable to connect to America Online.</source>
        <translation>Verbindung mit America Online nicht möglich.</translation>
    </message>
    <message>
        <source>Connected to CompuServe 2000 successfully!</source>
        <translation>Erfolgreich mit CompuServe 2000 verbunden!</translation>
    </message>
    <message>
        <source>Connected to America Online successfully!</source>
        <translation>Erfolgreich mit America Online verbunden!</translation>
    </message>
    <message>
        <source>Stop connecting to the Internet.</source>
        <translation>Verbindungsaufbau zum Internet abbrechen.</translation>
    </message>
    <message>
        <source>Unable to connect...</source>
        <translation>Verbindung nicht möglich...</translation>
    </message>
    <message>
        <source>Start CompuServe 2000...</source>
        <translation>CompuServe 2000 wird gestartet...</translation>
    </message>
    <message>
        <source>Start America Online...</source>
        <translation>America Online wird gestartet...</translation>
    </message>
    <message>
        <source>Connecting to CompuServe 2000...</source>
        <translation>Verbindung mit CompuServe 2000 wird hergestellt...</translation>
    </message>
    <message>
        <source>Connecting to America Online server...</source>
        <translation>Verbindung mit dem America-Online-Server wird hergestellt...</translation>
    </message>
    <message>
        <source>Unable to start CompuServe 2000.</source>
        <translation>CompuServe 2000 kann nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Unable to start America Online.</source>
        <translation>America Online kann nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Connecting to America Online...</source>
        <translation>Verbindung mit America Online wird hergestellt...</translation>
    </message>
    <message>
        <source>Opening the port...</source>
        <translation>Anschluss wird geöffnet...</translation>
    </message>
    <message>
        <source>Port has been opened successfully</source>
        <translation>Anschluss wurde erfolgreich geöffnet</translation>
    </message>
    <message>
        <source>Connecting to the device...</source>
        <translation>Verbindung mit dem Gerät wird hergestellt...</translation>
    </message>
    <message>
        <source>The device has connected successfully.</source>
        <translation>Das Gerät wurde erfolgreich verbunden.</translation>
    </message>
    <message>
        <source>All devices in the device chain have successfully connected.</source>
        <translation>Alle Geräte der Gerätekette wurden erfolgreich verbunden.</translation>
    </message>
    <message>
        <source>Verifying the user name and password...</source>
        <translation>Benutzername und Kennwort werden überprüft...</translation>
    </message>
    <message>
        <source>An authentication event has occurred.</source>
        <translation>Ein Anmeldeereignis ist aufgetreten.</translation>
    </message>
    <message>
        <source>Requested another validation attempt with a new user.</source>
        <translation>Ein weiterer Anmeldeversuch mit einem neuen Benutzer wurde angefordert.</translation>
    </message>
    <message>
        <source>Server has requested a callback number.</source>
        <translation>Der Server hat eine Rückrufnummer angefordert.</translation>
    </message>
    <message>
        <source>The client has requested to change the password</source>
        <translation>Der Client hat eine Kennwortänderung angefordert</translation>
    </message>
    <message>
        <source>Registering your computer on the network...</source>
        <translation>Ihr Computer wird im Netzwerk registriert...</translation>
    </message>
    <message>
        <source>The link-speed calculation phase is starting...</source>
        <translation>Die Verbindungsgeschwindigkeit wird ermittelt...</translation>
    </message>
    <message>
        <source>An authentication request is being acknowledged.</source>
        <translation>Eine Anmeldeanfrage wird bestätigt.</translation>
    </message>
    <message>
        <source>Reauthentication (after callback) is starting. </source>
        <translation>Die erneute Anmeldung (nach dem Rückruf) beginnt. </translation>
    </message>
    <message>
        <source>The client has successfully completed authentication.</source>
        <translation>Der Client hat die Anmeldung erfolgreich abgeschlossen.</translation>
    </message>
    <message>
        <source>The line is about to disconnect for callback.</source>
        <translation>Die Leitung wird für den Rückruf getrennt.</translation>
    </message>
    <message>
        <source>Delaying to give the modem time to reset for callback.</source>
        <translation>Warten, bis das Modem für den Rückruf zurückgesetzt ist.</translation>
    </message>
    <message>
        <source>Waiting for an incoming call from server.</source>
        <translation>Warten auf einen Anruf vom Server.</translation>
    </message>
    <message>
        <source>Projection result information is available.</source>
        <translation>Informationen zum Projektionsergebnis liegen vor.</translation>
    </message>
    <message>
        <source>User authentication is being initiated or retried.</source>
        <translation>Die Benutzeranmeldung wird gestartet oder wiederholt.</translation>
    </message>
    <message>
        <source>Client has been called back and is about to resume authentication.</source>
        <translation>Der Client wurde zurückgerufen und setzt die Anmeldung fort.</translation>
    </message>
    <message>
        <source>Logging on to the network...</source>
        <translation>Anmeldung am Netzwerk...</translation>
    </message>
    <message>
        <source>Subentry has been connected</source>
        <translation>Untereintrag wurde verbunden</translation>
    </message>
    <message>
        <source>Subentry has been disconnected</source>
        <translation>Untereintrag wurde getrennt</translation>
    </message>
    <message>
        <source>Terminal state supported by RASPHONE.EXE.</source>
        <translation>Terminalzustand, von RASPHONE.EXE unterstützt.</translation>
    </message>
    <message>
        <source>Retry authentication state supported by RASPHONE.EXE.</source>
        <translation>Anmeldewiederholung, von RASPHONE.EXE unterstützt.</translation>
    </message>
    <message>
        <source>Callback state supported by RASPHONE.EXE.</source>
        <translation>Rückrufzustand, von RASPHONE.EXE unterstützt.</translation>
    </message>
    <message>
        <source>Change password state supported by RASPHONE.EXE.</source>
        <translation>Kennwortänderung, von RASPHONE.EXE unterstützt.</translation>
    </message>
    <message>
        <source>Connect to remote server successfully!</source>
        <translation>Erfolgreich mit dem entfernten Server verbunden!</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Fail to get error string</source>
        <translation>Fehlertext nicht verfügbar</translation>
    </message>
    <message>
        <source> Extended Error Code: %1</source>
        <translation> Erweiterter Fehlercode: %1</translation>
    </message>
    <message>
        <source>Connect to the Internet?</source>
        <translation>Mit dem Internet verbinden?</translation>
    </message>
    <message>
        <source>Retry the connection again.</source>
        <translation>Verbindung erneut versuchen.</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>No fax numbers in address book entry</source>
        <translation>Der Adressbucheintrag enthält keine Faxnummern</translation>
    </message>
    <message>
        <source>Address Book</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <source>The help could not be opened.

The help pages are not installed, or no program is set up to show web pages.</source>
        <translation>Die Hilfe konnte nicht geöffnet werden.

Die Hilfeseiten sind nicht installiert, oder es ist kein Programm zum Anzeigen von Webseiten eingerichtet.</translation>
    </message>
    <message>
        <source>&amp;About Send a Fax - Corvinaport...</source>
        <translation>&amp;Info über Fax senden - Corvinaport...</translation>
    </message>
    <message>
        <source>cannot make a body file in %1: %2</source>
        <translation>in %1 kann keine Nachrichtendatei angelegt werden: %2</translation>
    </message>
    <message>
        <source>Preparing the fax</source>
        <translation>Vorbereiten des Faxes</translation>
    </message>
    <message>
        <source>Getting the upload address</source>
        <translation>Abrufen der Upload-Adresse</translation>
    </message>
    <message>
        <source>The upload</source>
        <translation>Der Upload</translation>
    </message>
    <message>
        <source>Sending</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>%1 failed: %2.</source>
        <translation>%1 fehlgeschlagen: %2.</translation>
    </message>
    <message>
        <source>cannot read the document %1</source>
        <translation>das Dokument %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>cannot write the body file %1</source>
        <translation>die Nachrichtendatei %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>the connection was refused</source>
        <translation>die Verbindung wurde abgelehnt</translation>
    </message>
    <message>
        <source>the server&apos;s name was not found</source>
        <translation>der Name des Servers wurde nicht gefunden</translation>
    </message>
    <message>
        <source>the server&apos;s certificate was refused</source>
        <translation>das Zertifikat des Servers wurde abgelehnt</translation>
    </message>
    <message>
        <source>the service answered with HTTP status %1</source>
        <translation>der Dienst antwortete mit HTTP-Status %1</translation>
    </message>
    <message>
        <source>the service did not confirm the fax (no success mark)</source>
        <translation>der Dienst hat das Fax nicht bestätigt (keine Erfolgsmeldung)</translation>
    </message>
    <message>
        <source>no reply within the time limit</source>
        <translation>keine Antwort innerhalb der Zeitgrenze</translation>
    </message>
    <message>
        <source>the transfer stalled (below %1 bytes a second for %2 seconds)</source>
        <translation>die Übertragung stockte (unter %1 Bytes pro Sekunde für %2 Sekunden)</translation>
    </message>
    <message>
        <source>the connection broke off</source>
        <translation>die Verbindung brach ab</translation>
    </message>
    <message>
        <source>stopped by the user</source>
        <translation>vom Benutzer angehalten</translation>
    </message>
    <message>
        <source>unexpected failure</source>
        <translation>unerwarteter Fehler</translation>
    </message>
    <message>
        <source>no address is configured</source>
        <translation>es ist keine Adresse eingestellt</translation>
    </message>
    <message>
        <source>No fax account or service address is set up yet, so no fax can be sent.

Open the settings now?</source>
        <translation>Es sind noch kein Faxkonto und keine Dienstadresse eingerichtet, daher kann kein Fax gesendet werden.

Einstellungen jetzt öffnen?</translation>
    </message>
    <message>
        <source>The password is kept in the desktop&apos;s secret store.</source>
        <translation>Das Kennwort wird im Schlüsselbund des Desktops aufbewahrt.</translation>
    </message>
    <message>
        <source>No secret store is running: the password is kept scrambled in the settings file, readable by you alone.</source>
        <translation>Kein Schlüsselbund läuft: Das Kennwort wird verschlüsselt in der Einstellungsdatei aufbewahrt, die nur Sie lesen können.</translation>
    </message>
    <message>
        <source>The service answered and gave an upload address: the account was accepted.</source>
        <translation>Der Dienst hat geantwortet und eine Upload-Adresse genannt: Das Konto wurde angenommen.</translation>
    </message>
    <message>
        <source>The service answered but gave no upload address: the account was refused. Check the account name and the password.</source>
        <translation>Der Dienst hat geantwortet, aber keine Upload-Adresse genannt: Das Konto wurde abgelehnt. Prüfen Sie Kontoname und Kennwort.</translation>
    </message>
    <message>
        <source>The service did not answer: %1</source>
        <translation>Der Dienst hat nicht geantwortet: %1</translation>
    </message>
    <message>
        <source>No service address is set.</source>
        <translation>Es ist keine Dienstadresse eingetragen.</translation>
    </message>
    <message>
        <source>the service refused the account (it gave no upload address); check the account name and password in the settings (corvinaport-sendfax --settings)</source>
        <translation>der Dienst hat das Konto abgelehnt (er hat keine Upload-Adresse genannt); prüfen Sie Kontoname und Kennwort in den Einstellungen (corvinaport-sendfax --settings)</translation>
    </message>
    <message>
        <source>the folder %1 is not a full path (it must begin with /)</source>
        <translation>der Ordner %1 ist kein vollständiger Pfad (er muss mit / beginnen)</translation>
    </message>
    <message>
        <source>the %1 text holds the line that separates the parts of a fax (%2); change it</source>
        <translation>der Text %1 enthält die Zeile, die die Teile eines Faxes trennt (%2); bitte ändern</translation>
    </message>
    <message>
        <source>the service named an upload address without encryption (%1); refused</source>
        <translation>der Dienst nannte eine Upload-Adresse ohne Verschlüsselung (%1); abgelehnt</translation>
    </message>
    <message>
        <source>Open Outbox</source>
        <translation>Postausgang öffnen</translation>
    </message>
    <message>
        <source>The Corvinaport Outbox window could not be opened.</source>
        <translation>Das Fenster Corvinaport-Postausgang konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Your fax is kept in the outbox until you send it.</source>
        <translation>Ihr Fax bleibt im Postausgang, bis Sie es senden.</translation>
    </message>
    <message>
        <source>Your fax is kept in the outbox and tried again shortly.</source>
        <translation>Ihr Fax bleibt im Postausgang und wird in Kürze erneut versucht.</translation>
    </message>
    <message>
        <source>Your fax is kept in the outbox and tried again at %1.</source>
        <translation>Ihr Fax bleibt im Postausgang und wird um %1 erneut versucht.</translation>
    </message>
    <message>
        <source>It is kept in the outbox and not sent again until you decide.</source>
        <translation>Es bleibt im Postausgang und wird erst wieder gesendet, wenn Sie es entscheiden.</translation>
    </message>
    <message>
        <source>Your fax is kept in the outbox; it is no longer tried by itself.</source>
        <translation>Ihr Fax bleibt im Postausgang; es wird nicht mehr von selbst versucht.</translation>
    </message>
    <message>
        <source>The whole fax went out but no answer came, so it may have reached the service.</source>
        <translation>Das ganze Fax wurde übertragen, aber es kam keine Antwort; es hat den Dienst also vielleicht erreicht.</translation>
    </message>
    <message>
        <source>The fax service is not answering.</source>
        <translation>Der Faxdienst antwortet nicht.</translation>
    </message>
    <message>
        <source>The fax service could not be found. Check that this computer is connected to the Internet.</source>
        <translation>Der Faxdienst wurde nicht gefunden. Prüfen Sie, ob dieser Computer mit dem Internet verbunden ist.</translation>
    </message>
    <message>
        <source>The fax service could not prove who it is, so nothing was sent to it.</source>
        <translation>Der Faxdienst konnte nicht nachweisen, wer er ist; es wurde nichts an ihn gesendet.</translation>
    </message>
    <message>
        <source>The fax service has a problem of its own at the moment.</source>
        <translation>Der Faxdienst hat gerade selbst ein Problem.</translation>
    </message>
    <message>
        <source>The fax service turned the fax down.</source>
        <translation>Der Faxdienst hat das Fax abgelehnt.</translation>
    </message>
    <message>
        <source>The fax service did not confirm the fax.</source>
        <translation>Der Faxdienst hat das Fax nicht bestätigt.</translation>
    </message>
    <message>
        <source>The connection to the fax service was too slow.</source>
        <translation>Die Verbindung zum Faxdienst war zu langsam.</translation>
    </message>
    <message>
        <source>You stopped the sending.</source>
        <translation>Sie haben das Senden abgebrochen.</translation>
    </message>
    <message>
        <source>The address of the fax service is not usable. Check it in the settings.</source>
        <translation>Die Adresse des Faxdienstes ist nicht verwendbar. Prüfen Sie sie in den Einstellungen.</translation>
    </message>
    <message>
        <source>The fax could not be prepared for sending.</source>
        <translation>Das Fax konnte nicht zum Senden vorbereitet werden.</translation>
    </message>
    <message>
        <source>The fax service did not take the fax.</source>
        <translation>Der Faxdienst hat das Fax nicht angenommen.</translation>
    </message>
    <message>
        <source>Try &apos;corvinaport-outbox --help&apos;.</source>
        <translation>Mehr dazu mit „corvinaport-outbox --help“.</translation>
    </message>
    <message>
        <source>document %1</source>
        <translation>Dokument %1</translation>
    </message>
    <message>
        <source>documents %1</source>
        <translation>Dokumente %1</translation>
    </message>
    <message>
        <source>held</source>
        <translation>zurückgehalten</translation>
    </message>
    <message>
        <source>waiting to be sent</source>
        <translation>wartet auf das Senden</translation>
    </message>
    <message>
        <source>waiting: next try at %1</source>
        <translation>wartet: nächster Versuch um %1</translation>
    </message>
    <message>
        <source>waiting: due now</source>
        <translation>wartet: jetzt fällig</translation>
    </message>
    <message>
        <source>being sent now</source>
        <translation>wird gerade gesendet</translation>
    </message>
    <message numerus="yes">
        <source>failed after %n tries</source>
        <translation>
            <numerusform>nach %n Versuch fehlgeschlagen</numerusform>
            <numerusform>nach %n Versuchen fehlgeschlagen</numerusform>
        </translation>
    </message>
    <message>
        <source>sent, not yet moved to the sent faxes</source>
        <translation>gesendet, noch nicht zu den gesendeten Faxen verschoben</translation>
    </message>
    <message>
        <source>sent; could not be moved to sent/: %1</source>
        <translation>gesendet; konnte nicht nach sent/ verschoben werden: %1</translation>
    </message>
    <message>
        <source>to %1</source>
        <translation>an %1</translation>
    </message>
    <message numerus="yes">
        <source>%n attempts</source>
        <translation>
            <numerusform>%n Versuch</numerusform>
            <numerusform>%n Versuche</numerusform>
        </translation>
    </message>
    <message>
        <source>last error: %1</source>
        <translation>letzter Fehler: %1</translation>
    </message>
    <message>
        <source>still being written</source>
        <translation>wird noch geschrieben</translation>
    </message>
    <message>
        <source>cannot be sent: %1</source>
        <translation>kann nicht gesendet werden: %1</translation>
    </message>
    <message>
        <source>missing command</source>
        <translation>Befehl fehlt</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>unbekannter Befehl %1</translation>
    </message>
    <message>
        <source>unknown or conflicting option %1</source>
        <translation>unbekannte oder widersprüchliche Option %1</translation>
    </message>
    <message>
        <source>list takes no folder names</source>
        <translation>list nimmt keine Ordnernamen</translation>
    </message>
    <message>
        <source>%1 needs a folder name</source>
        <translation>%1 braucht einen Ordnernamen</translation>
    </message>
    <message>
        <source>--again sends only the folders named</source>
        <translation>--again sendet nur die genannten Ordner</translation>
    </message>
    <message>
        <source>the settings name no LocalFolders</source>
        <translation>die Einstellungen nennen keinen Ordner LocalFolders</translation>
    </message>
    <message>
        <source>not changed: %1</source>
        <translation>nicht geändert: %1</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>gelöscht</translation>
    </message>
    <message>
        <source>May have been sent: the program stopped while sending at %1</source>
        <translation>Vielleicht gesendet: Das Programm endete beim Senden um %1</translation>
    </message>
    <message>
        <source>May have been sent: %1 (at %2)</source>
        <translation>Vielleicht gesendet: %1 (um %2)</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>gesendet</translation>
    </message>
    <message>
        <source>sent earlier; moved to the sent faxes</source>
        <translation>früher gesendet; zu den gesendeten Faxen verschoben</translation>
    </message>
    <message>
        <source>sent earlier; still not moved to sent/: %1</source>
        <translation>früher gesendet; noch immer nicht nach sent/ verschoben: %1</translation>
    </message>
    <message>
        <source>not sent: %1</source>
        <translation>nicht gesendet: %1</translation>
    </message>
    <message>
        <source>not sent, and no longer tried automatically: %1</source>
        <translation>nicht gesendet und nicht mehr automatisch versucht: %1</translation>
    </message>
    <message>
        <source>%1; not sent again (send --again to send it, mark-sent if it arrived)</source>
        <translation>%1; nicht erneut gesendet (send --again sendet es, mark-sent, wenn es angekommen ist)</translation>
    </message>
    <message>
        <source>busy: another sender has it</source>
        <translation>belegt: ein anderer Sender hat es</translation>
    </message>
    <message>
        <source>waiting for its next attempt</source>
        <translation>wartet auf den nächsten Versuch</translation>
    </message>
    <message>
        <source>skipped: %1</source>
        <translation>übersprungen: %1</translation>
    </message>
    <message>
        <source>This help page could not be found.

The help pages may not be installed completely.</source>
        <translation>Diese Hilfeseite wurde nicht gefunden.

Die Hilfeseiten sind möglicherweise nicht vollständig installiert.</translation>
    </message>
    <message>
        <source>The link could not be opened:
%1

No program is set up to open addresses of this kind.</source>
        <translation>Der Link konnte nicht geöffnet werden:
%1

Kein Programm ist für das Öffnen solcher Adressen eingerichtet.</translation>
    </message>
</context>
<context>
    <name>OutboxListModel</name>
    <message>
        <source>Recipients</source>
        <translation>Empfänger</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Dokument</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Stored</source>
        <translation>Gespeichert</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>OutboxRetry</name>
    <message numerus="yes">
        <source>%n stored fax(es) sent.</source>
        <translation>
            <numerusform>%n gespeichertes Fax gesendet.</numerusform>
            <numerusform>%n gespeicherte Faxe gesendet.</numerusform>
        </translation>
    </message>
    <message>
        <source>A fax was sent, but could not be moved to the sent faxes: %1</source>
        <translation>Ein Fax wurde gesendet, konnte aber nicht zu den gesendeten Faxen verschoben werden: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n stored fax(es) could not be sent yet; they are tried again later. %1</source>
        <translation>
            <numerusform>%n gespeichertes Fax konnte noch nicht gesendet werden; es wird später erneut versucht. %1</numerusform>
            <numerusform>%n gespeicherte Faxe konnten noch nicht gesendet werden; sie werden später erneut versucht. %1</numerusform>
        </translation>
    </message>
    <message>
        <source>A stored fax failed too often and is no longer tried: %1</source>
        <translation>Ein gespeichertes Fax ist zu oft fehlgeschlagen und wird nicht mehr versucht: %1</translation>
    </message>
    <message>
        <source>%1. It is not sent again until you decide.</source>
        <translation>%1. Es wird erst wieder gesendet, wenn Sie es entscheiden.</translation>
    </message>
    <message>
        <source>Show outbox</source>
        <translation>Postausgang anzeigen</translation>
    </message>
    <message>
        <source>Try now</source>
        <translation>Jetzt versuchen</translation>
    </message>
    <message>
        <source>Send a Fax - Corvinaport</source>
        <translation>Fax senden - Corvinaport</translation>
    </message>
</context>
<context>
    <name>OutboxWindow</name>
    <message numerus="yes">
        <source>Failed after %n tries: %1</source>
        <translation>
            <numerusform>Fehlgeschlagen nach %n Versuch: %1</numerusform>
            <numerusform>Fehlgeschlagen nach %n Versuchen: %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Corvinaport Outbox</source>
        <translation>Corvinaport-Postausgang</translation>
    </message>
    <message>
        <source>Columns</source>
        <translation>Spalten</translation>
    </message>
    <message>
        <source>Sear&amp;ch:</source>
        <translation>Su&amp;chen:</translation>
    </message>
    <message>
        <source>Recipient, number, document or date</source>
        <translation>Empfänger, Nummer, Dokument oder Datum</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Shows the faxes whose recipient, number, document or date holds every word typed</source>
        <translation>Zeigt die Faxe, deren Empfänger, Nummer, Dokument oder Datum jedes eingegebene Wort enthält</translation>
    </message>
    <message>
        <source>Faxes in the outbox</source>
        <translation>Faxe im Postausgang</translation>
    </message>
    <message>
        <source>Sent faxes</source>
        <translation>Gesendete Faxe</translation>
    </message>
    <message>
        <source>&amp;Outbox</source>
        <translation>&amp;Postausgang</translation>
    </message>
    <message>
        <source>Se&amp;nt</source>
        <translation>Gese&amp;ndet</translation>
    </message>
    <message>
        <source>Lists of faxes</source>
        <translation>Faxlisten</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>Shows the pages as they are sent</source>
        <translation>Zeigt die Seiten so, wie sie gesendet werden</translation>
    </message>
    <message>
        <source>&amp;Send now</source>
        <translation>Jetzt &amp;senden</translation>
    </message>
    <message>
        <source>Sends the selected faxes now</source>
        <translation>Sendet die ausgewählten Faxe jetzt</translation>
    </message>
    <message>
        <source>&amp;Hold</source>
        <translation>&amp;Zurückhalten</translation>
    </message>
    <message>
        <source>Keeps the selected faxes until you send them</source>
        <translation>Behält die ausgewählten Faxe, bis Sie sie senden</translation>
    </message>
    <message>
        <source>&amp;Mark as sent</source>
        <translation>Als gesendet &amp;markieren</translation>
    </message>
    <message>
        <source>Records a fax that may have been sent as sent, without sending it</source>
        <translation>Vermerkt ein Fax, das vielleicht gesendet wurde, als gesendet, ohne es zu senden</translation>
    </message>
    <message>
        <source>Send &amp;again</source>
        <translation>&amp;Erneut senden</translation>
    </message>
    <message>
        <source>Stores a new fax to the same recipients and sends it</source>
        <translation>Speichert ein neues Fax an dieselben Empfänger und sendet es</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Moves the selected faxes to the deleted faxes</source>
        <translation>Verschiebt die ausgewählten Faxe zu den gelöschten Faxen</translation>
    </message>
    <message>
        <source>Show in &amp;folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
    <message>
        <source>Opens the fax&apos;s folder</source>
        <translation>Öffnet den Ordner des Faxes</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message numerus="yes">
        <source>This fax may have been sent already:
%1

Send it again?</source>
        <translation>
            <numerusform>Dieses Fax wurde vielleicht schon gesendet:
%1

Erneut senden?</numerusform>
            <numerusform>Diese %n Faxe wurden vielleicht schon gesendet:
%1

Erneut senden?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Record this fax as sent, without sending it?
%1</source>
        <translation>
            <numerusform>Dieses Fax als gesendet vermerken, ohne es zu senden?
%1</numerusform>
            <numerusform>Diese %n Faxe als gesendet vermerken, ohne sie zu senden?
%1</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 could not be held: %2</source>
        <translation>%1 konnte nicht zurückgehalten werden: %2</translation>
    </message>
    <message numerus="yes">
        <source>Delete this fax from the outbox? It will not be sent.
%1

It is kept among the deleted faxes for 30 days.</source>
        <translation>
            <numerusform>Dieses Fax aus dem Postausgang löschen? Es wird nicht gesendet.
%1

Es wird 30 Tage lang bei den gelöschten Faxen aufbewahrt.</numerusform>
            <numerusform>Diese %n Faxe aus dem Postausgang löschen? Sie werden nicht gesendet.
%1

Sie werden 30 Tage lang bei den gelöschten Faxen aufbewahrt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete this fax from the sent faxes?
%1

It is kept among the deleted faxes for 30 days.</source>
        <translation>
            <numerusform>Dieses Fax aus den gesendeten Faxen löschen?
%1

Es wird 30 Tage lang bei den gelöschten Faxen aufbewahrt.</numerusform>
            <numerusform>Diese %n Faxe aus den gesendeten Faxen löschen?
%1

Sie werden 30 Tage lang bei den gelöschten Faxen aufbewahrt.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 could not be deleted: %2</source>
        <translation>%1 konnte nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <source>Deleted. The deleted faxes are kept for 30 days in %1.</source>
        <translation>Gelöscht. Gelöschte Faxe werden 30 Tage lang in %1 aufbewahrt.</translation>
    </message>
    <message>
        <source>%1 could not be stored again: %2</source>
        <translation>%1 konnte nicht erneut gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The fax&apos;s folder could not be opened.</source>
        <translation>Der Ordner des Faxes konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Recording as sent...</source>
        <translation>Wird als gesendet vermerkt...</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Wird gesendet...</translation>
    </message>
    <message>
        <source>%1: recorded as sent</source>
        <translation>%1: als gesendet vermerkt</translation>
    </message>
    <message>
        <source>%1: sent</source>
        <translation>%1: gesendet</translation>
    </message>
    <message>
        <source>%1: being sent by another program</source>
        <translation>%1: wird von einem anderen Programm gesendet</translation>
    </message>
    <message>
        <source>%1: not sent (%2)</source>
        <translation>%1: nicht gesendet (%2)</translation>
    </message>
    <message>
        <source>The outbox command failed: %1</source>
        <translation>Der Befehl des Postausgangs ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>The outbox command could not be started: %1</source>
        <translation>Der Befehl des Postausgangs konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>Held</source>
        <translation>Zurückgehalten</translation>
    </message>
    <message>
        <source>Sending now</source>
        <translation>Wird gerade gesendet</translation>
    </message>
    <message>
        <source>May have been sent: the program stopped while sending at %1</source>
        <translation>Vielleicht gesendet: Das Programm wurde beim Senden um %1 beendet</translation>
    </message>
    <message>
        <source>May have been sent: %1 (at %2)</source>
        <translation>Vielleicht gesendet: %1 (um %2)</translation>
    </message>
    <message>
        <source>Sent; not yet moved to the sent faxes</source>
        <translation>Gesendet; noch nicht zu den gesendeten Faxen verschoben</translation>
    </message>
    <message>
        <source>Waiting to be sent</source>
        <translation>Wartet auf das Senden</translation>
    </message>
    <message>
        <source>Waiting: next try now (%1)</source>
        <translation>Wartet: nächster Versuch jetzt (%1)</translation>
    </message>
    <message>
        <source>Waiting: next try at %1 (%2)</source>
        <translation>Wartet: nächster Versuch um %1 (%2)</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>Unreadable</source>
        <translation>Nicht lesbar</translation>
    </message>
    <message>
        <source>Being stored</source>
        <translation>Wird gespeichert</translation>
    </message>
    <message>
        <source>Cannot be sent: %1</source>
        <translation>Kann nicht gesendet werden: %1</translation>
    </message>
    <message>
        <source>Con&amp;tacts...</source>
        <translation>Kon&amp;takte...</translation>
    </message>
    <message>
        <source>Settin&amp;gs...</source>
        <translation>Einstellun&amp;gen...</translation>
    </message>
</context>
<context>
    <name>OutboxWindowMain</name>
    <message>
        <source>Usage: corvinaport-outbox-window [--help | --version]
Show the faxes stored in the outbox and the sent ones, in the window
&quot;Corvinaport Outbox&quot;: preview, send, hold or delete them.

The folders are those of the Send a Fax wizard: LocalFolders/outbox/ and
LocalFolders/sent/ of the settings store (CORVINAPORT_REGISTRY). Faxes are
sent by running corvinaport-outbox. A deleted fax is kept for 30 days in
LocalFolders/deleted/.
</source>
        <translation>Aufruf: corvinaport-outbox-window [--help | --version]
Zeigt die im Postausgang gespeicherten und die gesendeten Faxe im Fenster
&quot;Corvinaport-Postausgang&quot;: ansehen, senden, zurückhalten oder löschen.

Die Ordner sind die des Assistenten &quot;Fax senden&quot;: LocalFolders/outbox/ und
LocalFolders/sent/ aus dem Einstellungsspeicher (CORVINAPORT_REGISTRY). Faxe
werden mit corvinaport-outbox gesendet. Ein gelöschtes Fax wird 30 Tage lang in
LocalFolders/deleted/ aufbewahrt.
</translation>
    </message>
    <message>
        <source>corvinaport-outbox-window: unknown argument %1
Try &apos;corvinaport-outbox-window --help&apos;.
</source>
        <translation>corvinaport-outbox-window: unbekanntes Argument %1
&quot;corvinaport-outbox-window --help&quot; gibt weitere Informationen.
</translation>
    </message>
    <message>
        <source>The settings name no folder for the outbox (LocalFolders).</source>
        <translation>Die Einstellungen nennen keinen Ordner für den Postausgang (LocalFolders).</translation>
    </message>
</context>
<context>
    <name>PreviewPages</name>
    <message>
        <source>There is nothing to preview yet.</source>
        <translation>Es gibt noch nichts für die Vorschau.</translation>
    </message>
    <message>
        <source>The document %1 is missing.</source>
        <translation>Das Dokument %1 fehlt.</translation>
    </message>
    <message>
        <source>The PDF document %1 cannot be read.</source>
        <translation>Das PDF-Dokument %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>%1 is a TIFF picture, but Qt&apos;s TIFF reader is not installed (package qt6-image-formats-plugins).</source>
        <translation>%1 ist ein TIFF-Bild, aber Qts TIFF-Leser ist nicht installiert (Paket qt6-image-formats-plugins).</translation>
    </message>
    <message>
        <source>The picture %1 cannot be read.</source>
        <translation>Das Bild %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>1 page</source>
        <translation>1 Seite</translation>
    </message>
    <message>
        <source>%1 pages</source>
        <translation>%1 Seiten</translation>
    </message>
    <message>
        <source>pages not known</source>
        <translation>Seitenzahl unbekannt</translation>
    </message>
    <message>
        <source>Document %1 of %2: %3, %4</source>
        <translation>Dokument %1 von %2: %3, %4</translation>
    </message>
    <message>
        <source>%1 is a PDF document; this program cannot show PDF documents. The service converts it into fax pages when the fax is sent.</source>
        <translation>%1 ist ein PDF-Dokument; dieses Programm kann keine PDF-Dokumente anzeigen. Der Dienst wandelt es beim Senden in Faxseiten um.</translation>
    </message>
    <message>
        <source>Documents like %1 cannot be shown here; the service converts it into fax pages when the fax is sent.</source>
        <translation>Dokumente wie %1 können hier nicht angezeigt werden; der Dienst wandelt es beim Senden in Faxseiten um.</translation>
    </message>
</context>
<context>
    <name>ProgramArgs</name>
    <message>
        <source>Try &apos;%1 --help&apos;.
</source>
        <translation>Weitere Informationen mit „%1 --help“.
</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>--settings takes no other arguments</source>
        <translation>--settings nimmt keine weiteren Argumente</translation>
    </message>
    <message>
        <source>Usage: %1 [FILE...]
       %1 --settings
       %1 /s [/n NUMBER] [/id CONTACT]
       %1 &quot;GROUPFILE&quot;
Opens the Send a Fax wizard.

  FILE...           attach the files to one fax, in their order
  /s                send to one contact or number
  /n NUMBER         with /s: the fax number to fill in
  /id CONTACT       with /s: the address-book contact to fill in
  &quot;GROUPFILE&quot;       take over the document printed to the fax printer
  --settings        open the settings window: account, password, sender,
                    service address, connection and folders
  -h, --help        print this help and exit
  -v, --version     print the version and exit

Settings are read from the user&apos;s registry store
($XDG_CONFIG_HOME/corvinaport/registry.reg), then from
/etc/corvinaport/registry.reg; CORVINAPORT_REGISTRY names one store instead.
See man %1.
</source>
        <translation>Aufruf: %1 [DATEI...]
        %1 --settings
        %1 /s [/n NUMMER] [/id KONTAKT]
        %1 &quot;GRUPPENDATEI&quot;
Öffnet den Assistenten „Fax senden“.

  DATEI...          die Dateien in ihrer Reihenfolge an ein Fax anhängen
  /s                an einen Kontakt oder eine Nummer senden
  /n NUMMER         mit /s: die einzutragende Faxnummer
  /id KONTAKT       mit /s: der einzutragende Adressbuchkontakt
  &quot;GRUPPENDATEI&quot;    das auf dem Faxdrucker gedruckte Dokument übernehmen
  --settings        das Einstellungsfenster öffnen: Konto, Kennwort, Absender,
                    Dienstadresse, Verbindung und Ordner
  -h, --help        diese Hilfe ausgeben und beenden
  -v, --version     die Version ausgeben und beenden

Die Einstellungen stehen in der Registrierungsdatei des Benutzers
($XDG_CONFIG_HOME/corvinaport/registry.reg), dann in
/etc/corvinaport/registry.reg; CORVINAPORT_REGISTRY nennt stattdessen eine Datei.
Siehe man %1.
</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Fax Settings - Corvinaport</source>
        <translation>Fax-Einstellungen - Corvinaport</translation>
    </message>
    <message>
        <source>Account name</source>
        <translation>Kontoname</translation>
    </message>
    <message>
        <source>&amp;Account name:</source>
        <translation>&amp;Kontoname:</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>Kenn&amp;wort:</translation>
    </message>
    <message>
        <source>E-mail suffix</source>
        <translation>E-Mail-Endung</translation>
    </message>
    <message>
        <source>E-mail &amp;suffix:</source>
        <translation>E-Mail-&amp;Endung:</translation>
    </message>
    <message>
        <source>Sender address</source>
        <translation>Absenderadresse</translation>
    </message>
    <message>
        <source>Sender:</source>
        <translation>Absender:</translation>
    </message>
    <message>
        <source>Service address</source>
        <translation>Dienstadresse</translation>
    </message>
    <message>
        <source>Ser&amp;vice address:</source>
        <translation>&amp;Dienstadresse:</translation>
    </message>
    <message>
        <source>How to get on-line</source>
        <translation>Wie die Verbindung hergestellt wird</translation>
    </message>
    <message>
        <source>Local network</source>
        <translation>Lokales Netzwerk</translation>
    </message>
    <message>
        <source>Dial-up entry</source>
        <translation>DFÜ-Eintrag</translation>
    </message>
    <message>
        <source>&amp;Get on-line by:</source>
        <translation>&amp;Verbindung über:</translation>
    </message>
    <message>
        <source>&amp;Dial-up entry:</source>
        <translation>DF&amp;Ü-Eintrag:</translation>
    </message>
    <message>
        <source>Address-book folder</source>
        <translation>Adressbuchordner</translation>
    </message>
    <message>
        <source>Add&amp;ress-book folder:</source>
        <translation>&amp;Adressbuchordner:</translation>
    </message>
    <message>
        <source>Local folders</source>
        <translation>Lokale Ordner</translation>
    </message>
    <message>
        <source>&amp;Local folders:</source>
        <translation>&amp;Lokale Ordner:</translation>
    </message>
    <message>
        <source>&amp;Check</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>Check the account with the service</source>
        <translation>Das Konto beim Dienst prüfen</translation>
    </message>
    <message>
        <source>Asking the service...</source>
        <translation>Der Dienst wird gefragt...</translation>
    </message>
    <message>
        <source>The settings could not be saved: %1</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Outcome of the check or of saving</source>
        <translation>Ergebnis der Prüfung oder des Speicherns</translation>
    </message>
    <message>
        <source>Dial-up entry name</source>
        <translation>Name der DFÜ-Verbindung</translation>
    </message>
</context>
</TS>
