// Helpers over the shared message model.
#include "core/model/Module1.h"

namespace Module1
{
QString versionTextFor(int major, int revision)
{
    const QString majorText = major == 0 ? QString() : QString::number(major);
    return QStringLiteral("v") + majorText + QStringLiteral(".") + QString::number(revision);
}

void blankPage(int page)
{
    PageText[page].clear();
    PageEffect[page] = 0;
    PagePause[page] = 0;
    PageAlign[page] = 0;
}

void clearModel()
{
    for (int i = 0; i <= MaxPages; ++i)
        blankPage(i);
    PageCount = 0;
    CurrentPage = 0;
    MsgModified = false;
}

bool messageHasText()
{
    for (int i = 1; i <= MaxPages; ++i)
        if (!PageText[i].isEmpty())
            return true;
    return false;
}
} // namespace Module1
