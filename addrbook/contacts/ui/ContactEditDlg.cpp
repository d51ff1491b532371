#include "addrbook/contacts/ui/ContactEditDlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "addrbook/contacts/ContactImport.h"

namespace {

struct Shown {
    const char* attribute;
    AddressBook::Field field;
    const char* label;
};

// In the order the editor shows them.
const Shown kShown[] = {
    {"cn", &Contact::cn, QT_TRANSLATE_NOOP("ContactEditDlg", "&Display name:")},
    {"xqrvnameprefix", &Contact::xqrvnameprefix, QT_TRANSLATE_NOOP("ContactEditDlg", "&Title:")},
    {"givenname", &Contact::givenname, QT_TRANSLATE_NOOP("ContactEditDlg", "&First name:")},
    {"xqrvmiddlename", &Contact::xqrvmiddlename,
     QT_TRANSLATE_NOOP("ContactEditDlg", "&Middle name:")},
    {"sn", &Contact::sn, QT_TRANSLATE_NOOP("ContactEditDlg", "&Last name:")},
    {"xqrvnamesuffix", &Contact::xqrvnamesuffix, QT_TRANSLATE_NOOP("ContactEditDlg", "Su&ffix:")},
    {"mail", &Contact::mail, QT_TRANSLATE_NOOP("ContactEditDlg", "&E-mail:")},
    {"facsimiletelephonenumber", &Contact::facsimiletelephonenumber,
     QT_TRANSLATE_NOOP("ContactEditDlg", "&Business fax:")},
    {"xqrvhomefax", &Contact::xqrvhomefax, QT_TRANSLATE_NOOP("ContactEditDlg", "H&ome fax:")},
    {"telephonenumber", &Contact::telephonenumber,
     QT_TRANSLATE_NOOP("ContactEditDlg", "B&usiness phone:")},
    {"homephone", &Contact::homephone, QT_TRANSLATE_NOOP("ContactEditDlg", "Home &phone:")},
    {"cellphone", &Contact::cellphone, QT_TRANSLATE_NOOP("ContactEditDlg", "Mo&bile:")},
    {"pagerphone", &Contact::pagerphone, QT_TRANSLATE_NOOP("ContactEditDlg", "Pa&ger:")},
};

// One line as the book holds it: no line breaks or TABs, no blanks around.
std::string OneLine(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (c.unicode() < 0x20) c = QLatin1Char(' ');
    }
    return s.trimmed().toStdString();
}

}  // namespace

QString FieldLabel(const std::string& attribute) {
    if (attribute.empty()) return ContactEditDlg::tr("(not imported)");
    if (attribute == CsvMapping::kTypedPhone)
        return ContactEditDlg::tr("Phone (its kind in the Type column)");
    if (attribute == "xqrvnote") return ContactEditDlg::tr("Note");
    for (const Shown& s : kShown) {
        if (attribute == s.attribute)
            return QCoreApplication::translate("ContactEditDlg", s.label).remove('&').remove(':');
    }
    return {};
}

ContactEditDlg::ContactEditDlg(const Contact& contact, QWidget* parent)
    : QDialog(parent), contact_(contact) {
    setWindowTitle(contact.cn.empty() ? tr("New Contact") : tr("Edit Contact"));
    auto* form = new QFormLayout;
    for (const Shown& s : kShown) {
        auto* edit = new QLineEdit(QString::fromStdString(contact.*s.field), this);
        const QString label = QCoreApplication::translate("ContactEditDlg", s.label);
        edit->setAccessibleName(QString(label).remove('&').remove(':'));
        form->addRow(label, edit);
        edits_.emplace_back(s.field, edit);
        connect(edit, &QLineEdit::textChanged, this, &ContactEditDlg::UpdateOk);
    }
    QString note = QString::fromStdString(contact.xqrvnote);
    note.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (note.endsWith('\n')) note.chop(1);
    note_ = new QPlainTextEdit(note, this);
    note_->setTabChangesFocus(true);
    note_->setAccessibleName(tr("Note"));
    form->addRow(tr("&Note:"), note_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(buttons);
    UpdateOk();
}

QLineEdit* ContactEditDlg::edit(AddressBook::Field field) const {
    for (const auto& [f, e] : edits_) {
        if (f == field) return e;
    }
    return nullptr;
}

void ContactEditDlg::UpdateOk() {
    bool named = false;
    for (AddressBook::Field f : {&Contact::cn, &Contact::givenname, &Contact::sn})
        named = named || !OneLine(edit(f)->text()).empty();
    ok_->setEnabled(named);
}

Contact ContactEditDlg::contact() const {
    Contact c = contact_;
    for (const auto& [f, e] : edits_) c.*f = OneLine(e->text());
    if (c.cn.empty()) {
        for (const std::string* part : {&c.givenname, &c.xqrvmiddlename, &c.sn}) {
            if (part->empty()) continue;
            if (!c.cn.empty()) c.cn += ' ';
            c.cn += *part;
        }
    }
    c.xqrvnote = ContactImport::BookNote(note_->toPlainText().toStdString());
    return c;
}
