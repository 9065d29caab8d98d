// What the program remembers between runs for the user: the last port connected, the language
// chosen, the sampling period, the folders of the last export and of the technician's last file
// (configuration, record, line log) and the window's position. Kept in the system's own place
// for the user's settings (QSettings' native format, organisation and application
// "kvt27-config"): ~/.config/kvt27-config/kvt27-config.conf on Linux, the registry key
// HKEY_CURRENT_USER\Software\kvt27-config\kvt27-config on Windows. Nothing is stored until the
// user has made the choice.
#pragma once

#include <QPoint>
#include <QString>

#include <optional>

namespace kvt::ui {

namespace TProgramSettings {

std::optional<int> Language(); // LangCzech or LangEnglish
void SetLanguage(int Lang);
QString Port();
void SetPort(const QString& Port);
std::optional<int> Period(); // an index of the period list
void SetPeriod(int Index);
QString CsvFolder();
void SetCsvFolder(const QString& Folder);
QString FilesFolder();
void SetFilesFolder(const QString& Folder);
std::optional<QPoint> WindowPosition();
void SetWindowPosition(const QPoint& Position);

} // namespace TProgramSettings

} // namespace kvt::ui
