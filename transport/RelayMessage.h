#pragma once

#include <cstdio>
#include <list>
#include <memory>
#include <string>
#include <vector>

class TaskProgress;

// The boundary of every body file, and the upload's request header naming it.
inline constexpr const char* kRelayBoundary = "---------------------------7cf29e12c04";
inline constexpr const char* kRelayUploadHeader =
    "Content-Type: multipart/form-data; boundary=---------------------------7cf29e12c04";

// Content type of a file by the first of the known extensions that its
// upper-cased path contains anywhere (folder names included).
[[nodiscard]] std::string MimeTypeForPath(const std::string& path);

// One file attached to a RelayMessage.
struct MessageAttachment {
    explicit MessageAttachment(std::string filePath);

    std::string disposition = "form-data";
    std::string contentType = "application/octet-stream";
    std::string path;

    // The part of the path after its last '/', or the whole path.
    [[nodiscard]] std::string FileName() const;
};

// The mail-like message handed to the relay function, written to a body file
// in multipart/form-data form before it is posted.
class RelayMessage {
  public:
    void SetWorkFolder(const std::string& text) { workFolder = text; }
    void SetRelayUrl(const std::string& text) { relayUrl = text; }
    void SetFormData(const std::string& text) { formData = text; }
    void SetFrom(const std::string& text) { from = text; }
    void SetSubject(const std::string& text) { subject = text; }
    void AddTo(const std::string& text) { to.push_back(text); }
    void AddCc(const std::string& text) { cc.push_back(text); }
    void AddHeader(const std::string& text) { extraHeaders.push_back(text); }

    // Attaches a file; a ".wav" file goes in front of the others. The file is
    // read only when the body is written.
    void AddAttachment(const std::string& path);

    // Writes the whole body to filePath (created or truncated). False when the
    // file cannot be written, when an attachment cannot be read in full, or
    // when an attachment holds the delimiter line and so could not be parsed
    // back intact; the body file must then not be posted.
    [[nodiscard]] bool WriteBody(const std::string& filePath) const;
    // The same into a file already opened for writing; the descriptor is
    // closed in any case.
    [[nodiscard]] bool WriteBodyTo(int fd) const;

    // The name of the first text field that holds the boundary ("from",
    // "to", ...), or nullptr. Such a body would be cut where the field
    // stands, so it must not be posted.
    [[nodiscard]] const char* FieldHoldingBoundary() const;

    std::string relayUrl;
    std::string formData;
    std::string from;
    std::vector<std::string> to;
    std::vector<std::string> cc;
    std::vector<std::string> bcc;
    std::string subject;
    std::vector<std::string> extraHeaders;
    std::string bodyContentType = "text/plain";
    std::vector<std::string> bodyLines;
    std::list<std::unique_ptr<MessageAttachment>> attachments;
    // Must end with '/': the body file name is appended as it is.
    std::string workFolder;
    TaskProgress* progressWindow = nullptr;  // not owned; handed to the upload

  private:
    // Writes the body and closes the file (also on failure).
    [[nodiscard]] bool WriteInto(std::FILE* file) const;
};
