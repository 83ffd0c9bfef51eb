// Links with lstat(2), readlink(2), symlink(2) and unlink(2); none on Windows, where the sign has no
// pseudo-terminal to point at.
#include "platform/SymLink.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

QString userTag()
{
    return QString::number(::getuid());
}

bool pathTaken(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isOwnSymLink(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_uid == ::getuid();
}

QString symLinkTarget(const QString& path)
{
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf - 1);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(buf, int(n)));
}

bool removeSymLink(const QString& path, QString* reason)
{
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    *reason = lastError();
    return false;
}

bool makeSymLink(const QString& target, const QString& path, QString* reason)
{
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    *reason = lastError();
    return false;
}
#else
QString userTag()
{
    return qEnvironmentVariable("USERNAME");
}

bool pathTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isOwnSymLink(const QString&)
{
    return false;
}

QString symLinkTarget(const QString&)
{
    return QString();
}

bool removeSymLink(const QString& path, QString* reason)
{
    QFile file(path);
    if (file.remove())
        return true;
    *reason = file.errorString();
    return false;
}

bool makeSymLink(const QString&, const QString&, QString* reason)
{
    *reason = QStringLiteral("este sistema no tiene enlaces simbolicos");
    return false;
}
#endif
