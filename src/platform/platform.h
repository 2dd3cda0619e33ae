// The host system: console keys, the executable's directory, the host
// directory search and safe file removal. POSIX and Windows implement this
// one interface; nothing else in xev touches the console input or the host
// directory tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace xev::platform {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Discards key presses, read without echo and without line buffering, until
// one with `key_code` arrives. Returns at once when standard input is not a
// console, or when reading fails. The console is restored on every path,
// an interrupt included.
void wait_for_key(int key_code);

// True when `stream` writes to a console a person reads.
bool is_console(std::FILE* stream);

// Positions `file` at `offset` from its start; 64-bit on every host.
bool seek(std::FILE* file, std::int64_t offset);

// The length of `file`, which is left positioned at its end; -1 when it
// cannot be found (a pipe).
std::int64_t file_length(std::FILE* file);

// True for an existing directory (followed through links).
bool is_directory(const std::string& path);

bool is_symlink(const std::string& path);

// True when both paths lead to the same file, through links or not.
bool same_file(const std::string& path, const std::string& other);

// Opens a file for reading, or for reading and writing (created when missing
// if `create`), positioned at its start. The open itself never waits: a pipe
// without a writer is opened as it is (and found to have no length). Null
// when this fails.
FilePtr open_file(const std::string& path, bool writable, bool create);

// Takes an advisory lock on the open file without waiting: shared, or
// exclusive. It belongs to this opening of the file and lasts until it is
// closed; other programs that lock the file the same way see it (POSIX
// open-file locks, or flock where those are missing; LockFileEx on Windows).
bool try_lock(std::FILE* file, bool exclusive);

// True when `path` still names the open file (it has not been replaced by
// another file since it was opened).
bool names_open_file(const std::string& path, std::FILE* file);

// Cuts the open file to length 0.
bool truncate(std::FILE* file);

// The directory of the running executable with its trailing separator, or
// empty when the system cannot tell.
std::string executable_dir();

// Opens `path` for writing as a new, empty file. A regular file or a
// symbolic link of that name is deleted first and the file then created
// exclusively, without following a link, so that nothing planted in between
// is written through. A device or a pipe of that name is written to as it
// is, a pipe only while something reads it. Null when this fails.
FilePtr create_file(const std::string& path);

// The second step of create_file: a new file of that name, or null when the
// name is taken by anything at all, a link included.
FilePtr create_exclusive(const std::string& path);

// The folder that holds this user's own program settings, with its trailing
// separator, or empty when the system names none: $XDG_CONFIG_HOME (when
// absolute), else ~/.config, on POSIX; %APPDATA% on Windows.
std::string user_config_dir();

// The line end of the host's text files: "\n" on POSIX, "\r\n" on Windows.
const char* text_line_end();

// Replaces the contents of the file `path` (the file a symbolic link names)
// with `size` bytes from `data`: they go into a new file in the same folder,
// which is then renamed over the old one, so that an interrupted run leaves
// the old file whole. POSIX keeps the old file's permissions. False when
// anything fails; the old file is then as it was and the new one removed.
bool replace_file(const std::string& path, const std::uint8_t* data, std::size_t size);

// Puts standard input, output and error into binary mode, so that no byte
// read or written is translated: the texts end their lines with "\n" alone
// on every host. Called once, first thing in the run; nothing to do on POSIX.
void use_binary_streams();

// A host file name made from a CP/M name that stays an ordinary file in the
// target folder. On Windows a ':' (a drive or stream name) and the characters
// '<' and '>' become '_', and a reserved device name (CON, PRN, AUX, NUL,
// COM0 to COM9, LPT0 to LPT9, CONIN$, CONOUT$; with or without a type, in any
// letter case) gets a '_' in front; elsewhere the name is returned as it is.
std::string safe_host_name(std::string name);

// The Windows rule of safe_host_name, available on every host.
std::string windows_safe_name(std::string name);

enum class FindStatus { kFound, kNoFiles, kFailed };

// Host directory search: the entries of one directory that match a wildcard
// name ('*' any run, '?' one character, ASCII case ignored, "*.*"
// everything), without their directory, in ascending byte order.
// Directories and hidden (on Windows also system) entries are skipped.
// kNoFiles: the directory exists but nothing matches (the host's "no file
// found"); kFailed: any other failure, including a directory whose only
// matches were skipped.
FindStatus find_files(const std::string& pattern, std::vector<std::string>& names);

// The host's part of the search: appends to `names` the matching entries of
// the pattern's directory that are not skipped, in any order. Returns
// kFound when there is at least one.
FindStatus list_host_matches(const std::string& pattern, std::vector<std::string>& names);

// Wildcard match by the rules above; shared by the implementations.
bool wildcard_match(const std::string& pattern, const std::string& name);

}  // namespace xev::platform
