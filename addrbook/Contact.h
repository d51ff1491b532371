#pragma once

#include <string>

// One address-book entry. Each field is named after its attribute in
// addrbook.ldif; all are empty for a new contact except xqrvchanged.
class Contact {
  public:
    std::string cn;  // display name
    std::string sn;  // last name
    std::string givenname;
    std::string xqrvmiddlename;
    std::string xqrvnameprefix;
    std::string xqrvnamesuffix;
    std::string mail;
    std::string homephone;
    std::string xqrvhomefax;
    std::string telephonenumber;           // business phone
    std::string facsimiletelephonenumber;  // business fax
    std::string cellphone;
    std::string pagerphone;
    std::string xqrvmsg;  // voice-mail number
    std::string xqrvemaillist;
    // Every line, the last one included, ends with CR LF.
    std::string xqrvnote;
    std::string xqrvshortcut;
    std::string xqrvuid;
    std::string xqrvrecordloc;
    std::string xqrvchanged = "no";
    std::string xqrvtmpid;

    [[nodiscard]] bool operator==(const Contact&) const = default;
};
