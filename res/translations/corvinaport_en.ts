<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<context>
    <name>ContactsWindow</name>
    <message numerus="yes">
        <source>%1 (%n contacts)</source>
        <translation>
            <numerusform>%1 (%n contact)</numerusform>
            <numerusform>%1 (%n contacts)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n of the contacts you changed had been changed or deleted by another program meanwhile. An edited contact was kept as a new contact.</source>
        <translation>
            <numerusform>%n of the contacts you changed had been changed or deleted by another program meanwhile. An edited contact was kept as a new contact.</numerusform>
            <numerusform>%n of the contacts you changed had been changed or deleted by another program meanwhile. An edited contact was kept as a new contact.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete the %n selected contacts from the address book?</source>
        <translation>
            <numerusform>Delete the selected contact from the address book?</numerusform>
            <numerusform>Delete the %n selected contacts from the address book?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts added.</source>
        <translation>
            <numerusform>%n contact added.</numerusform>
            <numerusform>%n contacts added.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n merged, %1 already in the book, %2 kept beside a contact of the same name and fax number, %3 skipped.</source>
        <translation>
            <numerusform>%n merged, %1 already in the book, %2 kept beside a contact of the same name and fax number, %3 skipped.</numerusform>
            <numerusform>%n merged, %1 already in the book, %2 kept beside a contact of the same name and fax number, %3 skipped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts exported.</source>
        <translation>
            <numerusform>%n contact exported.</numerusform>
            <numerusform>%n contacts exported.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n members of the list have no fax number or e-mail address and were left out.</source>
        <translation>
            <numerusform>%n member of the list has no fax number or e-mail address and was left out.</numerusform>
            <numerusform>%n members of the list have no fax number or e-mail address and were left out.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message numerus="yes">
        <source>failed after %n tries</source>
        <translation>
            <numerusform>failed after %n try</numerusform>
            <numerusform>failed after %n tries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attempts</source>
        <translation>
            <numerusform>%n attempt</numerusform>
            <numerusform>%n attempts</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>OutboxRetry</name>
    <message numerus="yes">
        <source>%n stored fax(es) sent.</source>
        <translation>
            <numerusform>%n stored fax sent.</numerusform>
            <numerusform>%n stored faxes sent.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n stored fax(es) could not be sent yet; they are tried again later. %1</source>
        <translation>
            <numerusform>%n stored fax could not be sent yet; it is tried again later. %1</numerusform>
            <numerusform>%n stored faxes could not be sent yet; they are tried again later. %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>OutboxWindow</name>
    <message numerus="yes">
        <source>Failed after %n tries: %1</source>
        <translation>
            <numerusform>Failed after %n try: %1</numerusform>
            <numerusform>Failed after %n tries: %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>This fax may have been sent already:
%1

Send it again?</source>
        <translation>
            <numerusform>This fax may have been sent already:
%1

Send it again?</numerusform>
            <numerusform>These %n faxes may have been sent already:
%1

Send them again?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Record this fax as sent, without sending it?
%1</source>
        <translation>
            <numerusform>Record this fax as sent, without sending it?
%1</numerusform>
            <numerusform>Record these %n faxes as sent, without sending them?
%1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete this fax from the outbox? It will not be sent.
%1

It is kept among the deleted faxes for 30 days.</source>
        <translation>
            <numerusform>Delete this fax from the outbox? It will not be sent.
%1

It is kept among the deleted faxes for 30 days.</numerusform>
            <numerusform>Delete these %n faxes from the outbox? They will not be sent.
%1

They are kept among the deleted faxes for 30 days.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete this fax from the sent faxes?
%1

It is kept among the deleted faxes for 30 days.</source>
        <translation>
            <numerusform>Delete this fax from the sent faxes?
%1

It is kept among the deleted faxes for 30 days.</numerusform>
            <numerusform>Delete these %n faxes from the sent faxes?
%1

They are kept among the deleted faxes for 30 days.</numerusform>
        </translation>
    </message>
</context>
</TS>
