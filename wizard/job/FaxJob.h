#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One entry of the recipient list. The display line has the form of a mail
// address with a quoted display name: "Fax Recipient" <5551234>.
struct Recipient {
    std::string displayLine;
    std::string faxNumber;
    std::string name;
    std::string email;
    std::string homePhone;
    std::string homeFax;
    std::string businessPhone;
    std::string businessFax;
    std::string mobile;
    std::string pager;

    // Keeps only the ASCII decimal digits of text as the fax number.
    void SetFaxNumber(const std::string& text);
};

// The message record of the fax being composed.
struct FaxMessage {
    std::string body;
    std::string bcc;
    std::string cc;
    std::string from;
    std::string kind;
    std::string subject;
    std::string documentPath;
    std::string dateText;
    std::string timeText;
    std::string sendStatus;
    std::string memo;
    std::string to;
    std::uint32_t pageCount = 0;
    // Every document of the fax in sending order (a cover sheet of its own
    // first) when the fax has several; empty when documentPath alone is it.
    std::vector<std::string> documentPaths;

    // The fax's documents in sending order: documentPaths, else documentPath
    // when it is set.
    [[nodiscard]] std::vector<std::string> Documents() const {
        if (!documentPaths.empty()) return documentPaths;
        if (documentPath.empty()) return {};
        return {documentPath};
    }
};

// Everything the user composes in one run of the wizard. The application
// object derives from it, so these are its members.
struct FaxJob {
    // Newest entry first: pages insert at the head.
    std::list<std::unique_ptr<Recipient>> RecipientList;
    int contactMode = 0;
    std::string presetFaxNumber;
    std::string presetLastName;
    std::string presetFirstName;
    std::string presetEmail;
    // Full paths of the attached files, in the order they are sent.
    std::list<std::string> AttachmentList;
    int attachMode = 0;
    std::string installDir;
    FaxMessage message;
    int faxNumbersAllowed = 0;

    void ClearRecipients() { RecipientList.clear(); }
    void ClearAttachments() { AttachmentList.clear(); }

    // The `to` text: every display line from the head of RecipientList to its
    // tail, joined with ", ".
    [[nodiscard]] std::string BuildRecipientLine() const;
};

// The mail domain of the service's fax gateway, with its "@".
inline constexpr std::string_view kFaxGatewayDomain = "@fax.corvinaport.net";

// The recipient line with every fax-number entry ("Name" <5551234>) rewritten
// as the bare number at the fax gateway (5551234@fax...). An entry is a fax
// number when the character in front of its ">" is a decimal digit; other
// entries are kept as they are.
[[nodiscard]] std::string FaxNumbersToAddresses(const std::string& recipients,
                                                std::string_view gatewayDomain = kFaxGatewayDomain);

// File names for the documents of one fax, in their order: each path's own
// name, made distinct ("report.pdf", "report-2.pdf", ...) and never one of
// the reserved names, so that the documents can lie side by side in one
// folder and reach the service under names of their own.
[[nodiscard]] std::vector<std::string> DistinctFileNames(
    const std::vector<std::string>& paths, const std::vector<std::string>& reserved = {});
