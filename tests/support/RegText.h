#pragma once

// Text of a registry store, as the program's store file holds it.
#include <string>

inline const std::string kRegHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

// The line opening the product's key of that name ("General", "Directory", ...).
inline std::string ProductKey(const std::string& name) {
    return "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\" + name + "]\r\n";
}

// A string value's line; the tests' values need no escapes.
inline std::string Sz(const std::string& name, const std::string& value) {
    return "\"" + name + "\"=\"" + value + "\"\r\n";
}
