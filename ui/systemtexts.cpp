#include "ui/systemtexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

namespace kvt::ui {

QString RunningSystem()
{
    const QString name = QSysInfo::prettyProductName();
    // "Debian GNU/Linux 12 (bookworm), x86_64" rather than two brackets in a row.
    return (name.endsWith(QLatin1Char(')')) ? QStringLiteral("%1, %2") : QStringLiteral("%1 (%2)"))
        .arg(name, QSysInfo::currentCpuArchitecture());
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
