#include "Journal.h"

#include "core/platform/Terminal.h"

#include <cstdio>

void journal(const QString& text)
{
    const QByteArray line = platform::standardStreamText(QStringLiteral("tivor-server: %1\n").arg(text));
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
