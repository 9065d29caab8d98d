// The help box: a fixed Czech help text in a small modal dialog, created once at start-up.
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

protected:
    void showEvent(QShowEvent* Event) override;
};

// The help box the program created, or nullptr before it exists.
TAboutBox* AboutBox();

} // namespace kvt::ui
