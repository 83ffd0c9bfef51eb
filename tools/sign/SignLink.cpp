// Creating, guarding and removing the virtual sign's link.
#include "SignLink.h"

#include "platform/SymLink.h"

#include <QDir>
#include <QFileInfo>

SignLink::~SignLink()
{
    remove();
}

QString SignLink::defaultPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("tivor-sign"));
    // Without a runtime folder the name carries the user id, so two users never meet at one path.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("tivor-sign-%1").arg(userTag()));
}

bool SignLink::create(const QString& linkPath, const QString& target, QString* error)
{
    const QString path = QFileInfo(linkPath).absoluteFilePath();
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // a lock is stale only when its process is gone
    if (!lock->tryLock(0)) {
        qint64 pid = 0;
        QString host, app;
        lock->getLockInfo(&pid, &host, &app);
        *error = lock->error() == QLockFile::LockFailedError
                     ? QStringLiteral("otro cartel virtual ya usa el enlace %1 (proceso %2)").arg(path).arg(pid)
                     : QStringLiteral("no se puede crear %1.lock").arg(path);
        return false;
    }

    QString reason;
    if (pathTaken(path)) {
        const bool oursAndStale = isOwnSymLink(path) && symLinkTarget(path).startsWith(QLatin1String("/dev/pts/"));
        if (!oursAndStale) {
            *error = QStringLiteral("%1 ya existe y no es un enlace de un cartel virtual: elija otra ruta con --link")
                         .arg(path);
            return false;
        }
        if (!removeSymLink(path, &reason)) {
            *error = QStringLiteral("no se puede quitar el enlace viejo %1: %2").arg(path, reason);
            return false;
        }
    }
    if (!makeSymLink(target, path, &reason)) {
        *error = QStringLiteral("no se puede crear el enlace %1: %2").arg(path, reason);
        return false;
    }
    m_path = path;
    m_target = target;
    m_lock = std::move(lock);
    return true;
}

void SignLink::remove()
{
    if (m_path.isEmpty())
        return;
    QString reason;
    if (symLinkTarget(m_path) == m_target)
        removeSymLink(m_path, &reason);
    m_path.clear();
    m_lock.reset(); // releases and deletes the lock file
}
