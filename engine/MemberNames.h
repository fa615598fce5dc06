#pragma once
// Rules for the stored names of archive members when a whole archive is
// unpacked into a folder. Pure text functions.
// Whether a name is safe to unpack at all: IsSafeMemberName in system/PathSafety.h.
#include <string>

// The stored name as UTF-8: taken as UTF-8 when the item's language-encoding
// flag (general purpose bit 11) is set, otherwise read as code page 437, the
// zip format's default. The name ends at a zero byte, as it always has for
// the file system. False when a name flagged as UTF-8 is not.
bool DecodeMemberName(const std::string& stored, bool utf8Flag, std::string& name);

// The path that tells whether a member is already installed: homeDir
// followed by the name with "/" turned into "\" (a leading "/" dropped).
std::string MemberCheckPath(const std::string& homeDir, const std::string& name);

// An existing configuration file (".XML" below "/CONF/") or launcher script
// (".BAT" or ".SH" below "/BIN/") that a reinstall must leave alone. The
// comparison ignores case; a member stored as conf/app.xml at the top of the
// archive has no "/" before "conf" and is not protected.
bool IsProtectedMember(const std::string& name);
