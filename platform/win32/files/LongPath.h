#pragma once
#include "platform/Text.h"

namespace tarnwick::win32 {

// The form of `path` to hand to the file API: a path too long for the classic limit gets
// the "\\?\" form, so that it works at any length; a shorter one stays as the user typed it.
Text LongPath(TextView path);

// The "\\?\" form of `path` at any length: what the usual rules make of `path` itself, to
// which names can then be appended and are taken literally (the rules would drop a name's
// final dots and blanks, so "same.\" would open "same\").
Text LiteralPath(TextView path);

// A fully qualified path ("C:\x", "\\server\share") as given; any other read against
// the current folder (or the drive's own, for "D:x") by the usual rules.
Text FullyQualified(TextView path);

// "C:\", "\\?\C:\" or "\": a root that gives no "." and "..".
bool IsDriveRoot(TextView folder);

}  // namespace tarnwick::win32
