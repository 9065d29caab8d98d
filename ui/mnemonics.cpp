#include "ui/mnemonics.h"

#include "ui/controls.h"
#include "ui/langtexts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleOptionMenuItem>

namespace kvt::ui {

namespace {

QString Stripped(QString Marked)
{
    const qsizetype i = Marked.indexOf(QLatin1Char('&'));
    if (i >= 0)
        Marked.remove(i, 1);
    return Marked;
}

} // namespace

// Draws the menus' captions with their mnemonic letter underlined, while the captions themselves
// stay as written (a menu item's text is its caption exactly).
class TMenuMnemonicStyle : public QProxyStyle {
public:
    QHash<QString, QString> Marked; // caption -> caption with '&'

    void drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                     const QWidget* Widget) const override
    {
        if (Element == CE_MenuItem || Element == CE_MenuBarItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(Option)) {
                const QString caption = item->text.section(QLatin1Char('\t'), 0, 0);
                const auto marked = Marked.constFind(caption);
                if (marked != Marked.constEnd()) {
                    QStyleOptionMenuItem copy(*item);
                    copy.text = *marked + item->text.mid(caption.size());
                    QProxyStyle::drawControl(Element, &copy, Painter, Widget);
                    return;
                }
            }
        }
        QProxyStyle::drawControl(Element, Option, Painter, Widget);
    }
};

TMnemonics::TMnemonics(QWidget* Window, QMenuBar* Bar, const QList<QMenu*>& Menus)
    : QObject(Window), FWindow(Window), FBar(Bar), FStyle(new TMenuMnemonicStyle)
{
    FStyle->setParent(this);
    Bar->setStyle(FStyle);
    for (QMenu* menu : Menus) {
        menu->setStyle(FStyle);
        menu->installEventFilter(this);
    }
    for (QAction* top : Bar->actions()) {
        auto* shortcut = new QShortcut(Window);
        connect(shortcut, &QShortcut::activated, this, [Bar, top] {
            if (top->menu() != nullptr)
                Bar->setActiveAction(top);
            else
                top->trigger();
        });
        FShortcuts.insert(top, shortcut);
    }
}

void TMnemonics::Apply(int Lang)
{
    FMarked.clear();
    FStyle->Marked.clear();
    for (const TMnemonicRow& row : MnemonicTable) {
        const QString marked = row.Text.In(Lang);
        QObject* o = FWindow->findChild<QObject*>(QString::fromLatin1(row.Target));
        if (auto* button = qobject_cast<TSpeedButton*>(o)) {
            button->SetMnemonicText(marked);
            continue;
        }
        QAction* item = qobject_cast<QAction*>(o);
        if (auto* menu = qobject_cast<QMenu*>(o))
            item = menu->menuAction();
        if (item == nullptr)
            continue;
        FMarked.insert(item, marked);
        FStyle->Marked.insert(Stripped(marked), marked);
        if (QShortcut* shortcut = FShortcuts.value(item))
            shortcut->setKey(QKeySequence::mnemonic(marked));
    }
    FBar->update();
}

bool TMnemonics::eventFilter(QObject* Watched, QEvent* Event)
{
    if (auto* menu = qobject_cast<QMenu*>(Watched); menu != nullptr && MenuKey(menu, Event))
        return true;
    return QObject::eventFilter(Watched, Event);
}

// A letter typed in an open menu chooses the item whose mnemonic it is.
bool TMnemonics::MenuKey(QMenu* Menu, QEvent* Event)
{
    if (Event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(Event);
    if ((key->modifiers() & ~(Qt::AltModifier | Qt::ShiftModifier)) != Qt::NoModifier || key->text().size() != 1)
        return false;
    const QChar typed = key->text().at(0).toUpper();
    for (QAction* item : Menu->actions()) {
        const QString marked = FMarked.value(item);
        const qsizetype at = marked.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= marked.size() || marked.at(at + 1).toUpper() != typed || !item->isEnabled())
            continue;
        // Chosen as Enter chooses it, so the menus close the way they always do.
        Menu->setActiveAction(item);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(Menu, &enter);
        return true;
    }
    return false;
}

} // namespace kvt::ui
