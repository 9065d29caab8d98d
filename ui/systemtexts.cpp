#include "ui/systemtexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

namespace kvt::ui {

QString RunningSystem()
{
    return QStringLiteral("%1 (%2)").arg(QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture());
}

QString DocumentationPlace()
{
#ifdef _WIN32
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
#else
    return QStringLiteral("/usr/share/doc/kvt27-config");
#endif
}

} // namespace kvt::ui
