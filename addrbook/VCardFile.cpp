#include "addrbook/VCardFile.h"

#include "addrbook/Contact.h"

// Lines are built with LF; the files keep CR LF on disk, so every LF becomes
// CR LF, the inner CR LF of a note included (it reaches the disk as CR CR LF).
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool VCardFile::Open(const std::string& path) {
    Close();
    file_.reset(std::fopen(path.c_str(), "ab"));
    return file_ != nullptr;
}

void VCardFile::Close() { file_.reset(); }

std::string VCardFile::FormatCard(const Contact& c) {
    std::string card = "BEGIN:VCARD\nVERSION:3.0\n";
    card += "N:" + c.sn + ";" + c.givenname + ";" + c.xqrvmiddlename + ";" + c.xqrvnameprefix +
            ";" + c.xqrvnamesuffix + "\n";
    auto line = [&card](const char* head, const std::string& value) {
        if (!value.empty()) card += head + value + "\n";
    };
    line("FN:", c.cn);
    line("TEL;TYPE=work,fax:", c.facsimiletelephonenumber);
    line("TEL;TYPE=home,fax:", c.xqrvhomefax);
    line("TEL;TYPE=work,voice:", c.telephonenumber);
    line("TEL;TYPE=home,voice:", c.homephone);
    line("TEL;TYPE=msg:", c.xqrvmsg);
    line("TEL;TYPE=cell:", c.cellphone);
    line("TEL;TYPE=pager:", c.pagerphone);
    line("EMAIL:", c.mail);
    line("X-QRV-EmailList:", c.xqrvemaillist);
    line("X-QRV-Notes:", c.xqrvnote);
    line("X-QRV-ShortCut:", c.xqrvshortcut);
    line("X-QRV-UID:", c.xqrvuid);
    line("X-QRV-RecordLoc:", c.xqrvrecordloc);
    line("X-QRV-Changed:", c.xqrvchanged);
    line("X-QRV-TMPID:", c.xqrvtmpid);
    card += "END:VCARD\n";
    return WithCrLf(card);
}

bool VCardFile::WriteContact(const Contact& contact) {
    if (contact.xqrvuid.empty() && contact.xqrvtmpid.empty()) return false;
    if (!file_) return false;
    const std::string card = FormatCard(contact);
    // The file is opened for appending, so the card always lands at the end.
    if (std::fwrite(card.data(), 1, card.size(), file_.get()) != card.size()) return false;
    return std::fflush(file_.get()) == 0;
}
