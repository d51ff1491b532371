#pragma once

#include <string>
#include <vector>

#include "addrbook/Contact.h"

struct FaxJob;

// Adds the members of a distribution list to the job's RecipientList, each
// as the address-book dialog would add it with its business fax (else its
// home fax, else its e-mail address). Answers the names of members that have
// none of them, which are left out.
[[nodiscard]] std::vector<std::string> AddListToJob(FaxJob& job,
                                                    const std::vector<Contact>& members);
