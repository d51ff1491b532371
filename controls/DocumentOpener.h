#pragma once

#include <string>

// Opens a document or web address in the program the desktop associates
// with it.
class DocumentOpener {
  public:
    virtual ~DocumentOpener() = default;
    // A local path or a URL with a scheme; true when the desktop took it.
    [[nodiscard]] virtual bool Open(const std::string& target) = 0;
};

// The desktop's opener (QDesktopServices, which uses xdg-open on Linux).
class DesktopOpener final : public DocumentOpener {
  public:
    bool Open(const std::string& target) override;
};
