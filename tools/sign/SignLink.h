// The stable path the operator types into Tivor's port field: a symbolic link to the sign's pseudo-terminal.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

class SignLink
{
public:
    ~SignLink();

    // $XDG_RUNTIME_DIR/tivor-sign, or a per-user name in the temporary folder when that is not set.
    static QString defaultPath();

    // Points `linkPath` at `target`. Replaces only a stale link left by an earlier run (a link into
    // /dev/pts that no running virtual sign holds); anything else at that path is refused with a reason.
    bool create(const QString& linkPath, const QString& target, QString* error);
    // Removes the link if it still points at our target; safe to call twice.
    void remove();

    QString path() const { return m_path; }

private:
    QString m_path;
    QString m_target;
    std::unique_ptr<QLockFile> m_lock;
};
