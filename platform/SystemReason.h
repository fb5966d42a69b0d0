#pragma once
// The system's reason for a failed file operation, in Japanese for the
// errors a user meets (the window is Japanese); others as the system words them.

#include <QString>

namespace tenmari {

// Something there that is neither a file nor a folder (a device, a pipe).
inline constexpr int kNotRegularFile = -1;
// A file that changed while it was being read (it shrank, grew or was rewritten).
inline constexpr int kChangedWhileRead = -2;

// The reason for an error number, or for kNotRegularFile or kChangedWhileRead.
QString systemReason(int err);

}  // namespace tenmari
