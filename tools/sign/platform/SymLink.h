// Symbolic links and the user's identity, for the virtual sign's stable port path.
#pragma once

#include <QString>

// The user's number (POSIX) or name (Windows), to keep two users' default paths apart.
QString userTag();
// True when something, a dangling link included, is at `path`.
bool pathTaken(const QString& path);
// True when `path` is itself a symbolic link (not followed) owned by this user.
bool isOwnSymLink(const QString& path);
// What the link at `path` points to as written in it; empty when it is no link.
QString symLinkTarget(const QString& path);
// Removes the link at `path` (never what it points to); false with the system's reason.
bool removeSymLink(const QString& path, QString* reason);
// Makes `path` a symbolic link to `target`; false with the system's reason.
bool makeSymLink(const QString& target, const QString& path, QString* reason);
