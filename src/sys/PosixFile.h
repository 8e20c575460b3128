#pragma once
// The few file operations the station needs, done once and done carefully: short writes and
// EINTR, FIFOs put in a file's place, torn files after a crash, folders only the owner reads.

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace palaverly {

/// Writes all of `data`, going on after EINTR and short writes. False on failure, with errno
/// set (EIO when the descriptor took nothing).
bool WriteAll(int fd, std::string_view data);

/// Reads what `fd` holds from its offset to its end into `out`, going on after EINTR. 0, or
/// the errno value of the failed read.
int ReadToEnd(int fd, std::string& out);

/// Reads a whole regular file into `out`. 0, or an errno value (EISDIR for a folder, EINVAL
/// for anything else that is not a regular file); a FIFO never blocks the caller.
int ReadWholeFile(const std::filesystem::path& path, std::string& out);

/// Whose files OpenRegularFile accepts. Mine: only the current user's, and a symlink in the
/// file's place is refused rather than followed (another user could plant one in a shared
/// folder). MineOrSystem: also root's, links followed (a sound chosen from the system's).
enum class FileOwners { Mine, MineOrSystem };

/// Opens `path` with open(2)'s `flags` (and `mode` when O_CREAT creates it) only when it is a
/// regular file of `owners`; the open never blocks on a FIFO or device. The descriptor, in
/// blocking mode again, or -1 with errno: ELOOP for a symlink, EINVAL for anything but a
/// regular file, EPERM for a file of another user, or the open's own error.
int OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode = 0600,
                    FileOwners owners = FileOwners::Mine);

/// Whether the file system of `fd` keeps at least `percent` % of its blocks free for
/// unprivileged users after `bytes` more are written. True when it cannot be told.
bool KeepsFreeReserve(int fd, std::size_t bytes, unsigned percent);

/// Replaces `target` by a file holding `content`: a temporary file in the same folder is
/// written, flushed to disk and renamed over it, so a crash leaves the old file or the new
/// one, never a torn one. 0, or an errno value; `failedStep` (if given) then names the step.
int ReplaceFileAtomically(const std::filesystem::path& target, std::string_view content,
                          mode_t mode = 0600, std::string* failedStep = nullptr);

/// Creates `folder` and its missing parents with mode 0700 (existing ones are left as they
/// are). 0 when the folder exists afterwards, else an errno value.
int MakePrivateFolders(const std::filesystem::path& folder);

} // namespace palaverly
