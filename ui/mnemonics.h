// The menus' and buttons' mnemonics: Alt and a letter, or in an open menu the letter alone. The
// captions stay as written (tests and the language tables compare them exactly); the marked
// caption is kept beside each one and drawn with its letter underlined.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QEvent;
class QMenu;
class QMenuBar;
class QShortcut;
class QWidget;

namespace kvt::ui {

class TMenuMnemonicStyle;

class TMnemonics : public QObject {
    Q_OBJECT
public:
    // For the controls named in the mnemonic table under Window; the letters of Bar's top-level
    // items become shortcuts of Window, and a letter typed in one of Menus chooses its item. Made
    // after the menus, so that the style they draw with outlives them.
    TMnemonics(QWidget* Window, QMenuBar* Bar, const QList<QMenu*>& Menus);

    // The marks of the language, on every control of the table.
    void Apply(int Lang);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool MenuKey(QMenu* Menu, QEvent* Event);

    QWidget* FWindow;
    QMenuBar* FBar;
    TMenuMnemonicStyle* FStyle;
    // Alt + letter of each top-level menu item, and each menu item's caption with its '&'.
    QHash<QAction*, QShortcut*> FShortcuts;
    QHash<QAction*, QString> FMarked;
};

} // namespace kvt::ui
