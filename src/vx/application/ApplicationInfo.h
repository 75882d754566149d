// What the program knows of the product's settings for the current user. Today: the
// search protection flag, the REG_DWORD value "DefaultSearch" of the key
// "Software\VXI" under HKEY_CURRENT_USER; 1 means on, anything else (another number,
// data that is not 4 bytes long, no value, no key) means off. We write only 1 or 0.
//
// Over the character type of the texts it hands out (the program uses char, UTF-8).
// Keys are opened and closed within each call; any thread may call.
// Failures (a key that exists but cannot be opened, a value that cannot be written)
// throw runtime::Exception. On systems without a registry (the host build) both calls
// throw.
#pragma once

namespace vx::application {

template <class Char = char> class ApplicationInfo {
public:
    // Whether search protection is on; false when the key does not exist.
    bool isSearchProtectionEnabled() const;
    // Writes 1 or 0, creating the key when it does not exist.
    void setSearchProtection(bool enabled);
};

extern template class ApplicationInfo<char>;

} // namespace vx::application
