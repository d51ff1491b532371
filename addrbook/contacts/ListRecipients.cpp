#include "addrbook/contacts/ListRecipients.h"

#include <memory>

#include "wizard/job/FaxJob.h"

std::vector<std::string> AddListToJob(FaxJob& job, const std::vector<Contact>& members) {
    std::vector<std::string> left;
    for (const Contact& c : members) {
        auto r = std::make_unique<Recipient>();
        r->name = c.cn;
        r->email = c.mail;
        r->homePhone = c.homephone;
        r->homeFax = c.xqrvhomefax;
        r->businessPhone = c.telephonenumber;
        r->businessFax = c.facsimiletelephonenumber;
        r->mobile = c.cellphone;
        r->pager = c.pagerphone;
        r->SetFaxNumber(!c.facsimiletelephonenumber.empty() ? c.facsimiletelephonenumber
                                                            : c.xqrvhomefax);
        const std::string& address = !r->faxNumber.empty() ? r->faxNumber : r->email;
        if (address.empty() || (!job.faxNumbersAllowed && r->email.empty())) {
            left.push_back(c.cn);
            continue;
        }
        r->displayLine =
            "\"" + r->name + "\" <" + (job.faxNumbersAllowed ? address : r->email) + ">";
        job.RecipientList.push_back(std::move(r));
    }
    return left;
}
