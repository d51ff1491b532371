// Digit reduction of a recipient, for test builds without the fax job library.
#include "wizard/FaxJob.h"

void Recipient::SetFaxNumber(const std::string& text) {
    faxNumber.clear();
    for (char c : text)
        if (c >= '0' && c <= '9') faxNumber += c;
}
