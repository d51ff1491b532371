#pragma once

#include <cstdio>
#include <memory>
#include <string>

class Contact;

// text with every LF turned into CR LF, as the address book's files keep
// their lines on disk.
[[nodiscard]] std::string WithCrLf(const std::string& text);

// Appends contacts as vCard 3.0 cards to a log file (deleteditems.vcf). Lines
// end with CR LF on disk; earlier cards are never changed.
class VCardFile {
  public:
    // Opens path for appending, creating the file when it does not exist.
    [[nodiscard]] bool Open(const std::string& path);
    // Appends one card. False when the file is not open, when the contact has
    // neither xqrvuid nor xqrvtmpid, or when the card did not reach the file.
    [[nodiscard]] bool WriteContact(const Contact& contact);
    void Close();

    // The card exactly as WriteContact puts it on disk.
    [[nodiscard]] static std::string FormatCard(const Contact& contact);

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};
