#pragma once

#include <QString>

#include <cstdint>

namespace orvalis {

// The Windows code for a C library error (errno) of a file call. ENOENT gives
// kFileNotFound; the caller that knows whether the parent folder exists turns it into
// kPathNotFound. EEXIST gives kFileExists; calls on folders and moves use
// kAlreadyExists instead. An errno without a closer match gives kAccessDenied.
uint32_t WindowsErrorFromErrno(int error);

// FormatMessage's text for `code` on a Portuguese (Brazil) Windows, without the line
// break that FormatMessage appends; empty for a code it does not know.
QString WindowsErrorText(uint32_t code);

}  // namespace orvalis
