#pragma once

#include <string>

#include "app/core/RegistryStore.h"
#include "support/RegText.h"
#include "support/TempFolder.h"

// A temporary folder holding the registry store file, which the store path
// points at while the object lives.
class TempStore : public TempFolder {
  public:
    TempStore() { SetRegistryStorePath(reg); }
    ~TempStore() { SetRegistryStorePath(std::nullopt); }
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    void Write(const std::string& bytes) const { TempFolder::Write("registry.reg", bytes); }

    const std::string reg = file("registry.reg");
};
