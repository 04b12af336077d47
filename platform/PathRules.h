#pragma once

#include <string>

// Path syntax where it differs between the systems. The configuration file
// names its targets relative to itself, and the configure tool refuses
// absolute paths, so both need the running system's idea of a path.

// True for a character that separates path components on this system.
bool IsPathSeparator(wchar_t Character);

// True when the path names one place by itself, whatever the current
// directory or drive.
bool IsAbsolutePath(const std::wstring& Path);

// True when two path texts name the same place under this system's rules
// for letter case (Windows ignores it, Linux does not). Nothing is resolved:
// give both the same form first.
bool AreSamePathNames(const std::wstring& Left, const std::wstring& Right);

// The last component of a path and the text before it (its separator
// kept, so that "/" and "C:\" stay roots), by this system's separators
// alone: the path need not exist, nor be a name the file system can take.
std::wstring GetFileName(const std::wstring& Path);
std::wstring GetParentDirectory(const std::wstring& Path);

// Two rules of sameness, for two questions. Both sit beside a comparison of
// file identity, which settles every case where the file exists.
// - The launcher asks whether its target is itself: equal as file-system
//   paths, separators counting as one, every other unit compared as it is
//   (letter case too), which is the rule readers of the INI file were given.
bool ArePathsLexicallyEqual(const std::wstring& Left, const std::wstring& Right);
// - The configure tool asks whether a file it is about to write, which may
//   not exist yet, is one it must not destroy: equal as the file system
//   would resolve them, "." and ".." gone and letter case by the system's rule,
//   so that no spelling gets past it.
bool AreSamePathTexts(const std::wstring& Left, const std::wstring& Right);

// Value appended to Directory by this system's append rule, then made
// absolute with "." and ".." removed. When the system cannot make it absolute
// the appended path comes back as it is, so that whoever checks it next can
// name it in a message; running out of memory is no such case and throws.
std::wstring ResolvePathNextTo(const std::wstring& Directory, const std::wstring& Value);

// The Windows rules as plain text operations. They are the Windows build's
// rules, and being pure text they are tested on every system.

// C:\ or C:/, two separators and a server name (which covers \\?\ and \\.\),
// and \??\. A single leading separator or a drive without one is relative.
bool IsWindowsAbsolutePath(const std::wstring& Path);

// Windows path append: an absolute value, or one on another drive or server,
// replaces the directory; a value starting with one separator keeps only the
// directory's drive or server; anything else is added after a backslash,
// without a drive prefix that names the directory's own drive.
std::wstring AppendWindowsPath(const std::wstring& Directory, const std::wstring& Value);
