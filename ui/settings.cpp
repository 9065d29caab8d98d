#include "ui/settings.h"

#include "ui/langtexts.h"

#include <QSettings>

namespace kvt::ui::TProgramSettings {

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kvt27-config"),
                     QStringLiteral("kvt27-config"));
}

std::optional<int> Int(const char* Key)
{
    bool ok = false;
    const int v = Store().value(QLatin1String(Key)).toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

} // namespace

std::optional<int> Language()
{
    const auto v = Int("language");
    if (v && (*v == LangCzech || *v == LangEnglish))
        return v;
    return std::nullopt;
}

void SetLanguage(int Lang)
{
    Store().setValue(QStringLiteral("language"), Lang);
}

QString Port()
{
    return Store().value(QStringLiteral("port")).toString();
}

void SetPort(const QString& Port)
{
    Store().setValue(QStringLiteral("port"), Port);
}

std::optional<int> Period()
{
    return Int("datalog/period");
}

void SetPeriod(int Index)
{
    Store().setValue(QStringLiteral("datalog/period"), Index);
}

QString CsvFolder()
{
    return Store().value(QStringLiteral("datalog/csvFolder")).toString();
}

void SetCsvFolder(const QString& Folder)
{
    Store().setValue(QStringLiteral("datalog/csvFolder"), Folder);
}

QString FilesFolder()
{
    return Store().value(QStringLiteral("files/folder")).toString();
}

void SetFilesFolder(const QString& Folder)
{
    Store().setValue(QStringLiteral("files/folder"), Folder);
}

std::optional<QPoint> WindowPosition()
{
    const QVariant v = Store().value(QStringLiteral("window/position"));
    if (!v.canConvert<QPoint>() || v.isNull())
        return std::nullopt;
    return v.toPoint();
}

void SetWindowPosition(const QPoint& Position)
{
    Store().setValue(QStringLiteral("window/position"), Position);
}

} // namespace kvt::ui::TProgramSettings
