// The window's one door to modal dialogs, waits and timer periods, so that tests can stand in for
// the user: they answer the boxes, pick file names and shorten the periods.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace kvt::ui {

enum class TBoxKind { Error, Warning, Plain, Information, About };

class TUiSeam {
public:
    virtual ~TUiSeam() = default;

    // A modal box with one OK button. Detail is an optional longer text shown on request.
    virtual void ShowBox(QWidget* Parent, TBoxKind Kind, const QString& Text, const QString& Detail) = 0;
    // The modal save-file dialog, opened in Folder (the system's choice when empty); nullopt
    // when the user cancels.
    virtual std::optional<QString> SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder) = 0;
    // The modal open-file dialog; nullopt when the user cancels (so when a seam does not answer).
    virtual std::optional<QString> OpenFileName(QWidget*, const QString& /*Filter*/, const QString& /*Folder*/)
    {
        return std::nullopt;
    }
    // A modal question with Yes and No; Detail is shown beside Text (a list of what would change).
    // True for Yes; a seam that does not answer says No, so nothing is done.
    virtual bool Ask(QWidget*, const QString& /*Text*/, const QString& /*Detail*/) { return false; }
    // A modal choice of one of Items; its index, or nullopt when the user cancels (so when a seam
    // does not answer).
    virtual std::optional<int> Choose(QWidget*, const QString& /*Text*/, const QStringList& /*Items*/)
    {
        return std::nullopt;
    }
    // A blocking wait on the user-interface thread.
    virtual void Sleep(int Ms) = 0;
    // Maps a timer period in ms to the one actually used (the identity in the program).
    virtual int TimerInterval(int Ms) { return Ms; }
};

// The real Qt dialogs and waits.
class TQtUiSeam : public TUiSeam {
public:
    void ShowBox(QWidget* Parent, TBoxKind Kind, const QString& Text, const QString& Detail) override;
    std::optional<QString> SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder) override;
    std::optional<QString> OpenFileName(QWidget* Parent, const QString& Filter, const QString& Folder) override;
    bool Ask(QWidget* Parent, const QString& Text, const QString& Detail) override;
    std::optional<int> Choose(QWidget* Parent, const QString& Text, const QStringList& Items) override;
    void Sleep(int Ms) override;
};

// The installed seam; a TQtUiSeam until another is installed.
TUiSeam& UiSeam();
// Installs Seam and returns the one it replaces (nullptr for the built-in default).
std::unique_ptr<TUiSeam> SetUiSeam(std::unique_ptr<TUiSeam> Seam);

// Shorthands used throughout the window. Each keeps the error report's bookkeeping of modal loops.
void ErrorBox(QWidget* Parent, const QString& Text, const QString& Detail = {});
void WarningBox(QWidget* Parent, const QString& Text);
void PlainBox(QWidget* Parent, const QString& Text);
void InfoBox(QWidget* Parent, const QString& Text);
// The About box: the program's icon beside Text.
void AboutProgramBox(QWidget* Parent, const QString& Text);
void Sleep(int Ms);
// The dialogs of the seam, each a modal loop for the error report.
std::optional<QString> SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder);
std::optional<QString> OpenFileName(QWidget* Parent, const QString& Filter, const QString& Folder);
bool Ask(QWidget* Parent, const QString& Text, const QString& Detail);
std::optional<int> Choose(QWidget* Parent, const QString& Text, const QStringList& Items);

// "\r" and "\r\n" as line breaks, the way the message texts are built.
QString DisplayLineBreaks(const QString& Text);

// A file name from a dialog as the file functions take it (the safe writer, the text reader, the
// CSV export): the system's bytes, UTF-8 on Windows.
std::string SystemFileName(const QString& Name);
// A text of the system's that the lower layers carry (an error's reason): in the locale's
// encoding on Linux, UTF-8 on Windows.
QString FromSystemText(const std::string& Text);

// Converts a filter of the form "Description|*.ext|..." to Qt's "Description (*.ext);;...".
QString QtFileFilter(const QString& Filter);

} // namespace kvt::ui
