// The help box: a fixed help text in a small modal dialog, created once at start-up. It shows
// the Czech text, or its English translation while the window is in English.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace kvt::ui {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* Parent = nullptr);
    ~TAboutBox() override;

    QPlainTextEdit* Memo1;
    QPushButton* OKButton;

    void OKButtonClick(QObject* Sender);
    // Caption and text in the language (LangCzech or LangEnglish).
    void SetLang(int Lang);

protected:
    void showEvent(QShowEvent* Event) override;
};

// The help box the program created, or nullptr before it exists.
TAboutBox* AboutBox();

} // namespace kvt::ui
