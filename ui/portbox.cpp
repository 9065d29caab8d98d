#include "ui/portbox.h"

#include <QAbstractItemView>
#include <QFontMetrics>

#include <algorithm>

namespace kvt::ui {

namespace {

QString ListTextOf(const TPortInfo& Port)
{
    return QString::fromStdString(PortDisplayText(Port));
}

} // namespace

QString TPortItemDelegate::ListText(const QModelIndex& Index)
{
    const QVariant text = Index.data(PortListTextRole);
    return text.isValid() ? text.toString() : Index.data(Qt::DisplayRole).toString();
}

void TPortItemDelegate::initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const
{
    QStyledItemDelegate::initStyleOption(Option, Index);
    Option->text = ListText(Index);
}

void InstallPortItemDelegate(QComboBox* Box)
{
    Box->setItemDelegate(new TPortItemDelegate(Box));
}

bool PortItemsAre(const QComboBox* Box, const std::vector<TPortInfo>& Ports)
{
    if (Box->count() != static_cast<int>(Ports.size()))
        return false;
    for (int i = 0; i < Box->count(); ++i)
        if (Box->itemText(i) != QString::fromStdString(Ports[static_cast<size_t>(i)].Name)
            || Box->itemData(i, PortListTextRole).toString() != ListTextOf(Ports[static_cast<size_t>(i)]))
            return false;
    return true;
}

void SetPortItems(QComboBox* Box, const std::vector<TPortInfo>& Ports)
{
    Box->clear();
    int widest = 0;
    const QFontMetrics metrics(Box->view()->font());
    for (const TPortInfo& Port : Ports) {
        const QString text = ListTextOf(Port);
        Box->addItem(QString::fromStdString(Port.Name));
        const int i = Box->count() - 1;
        Box->setItemData(i, text, PortListTextRole);
        Box->setItemData(i, text, Qt::ToolTipRole);
        Box->setItemData(i, QString::fromStdString(Port.StableName), PortStableNameRole);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    // The list may be wider than the box; room for the margins and a scroll bar.
    Box->view()->setMinimumWidth(widest + 40);
}

QString RememberedPortText(const QComboBox* Box, const QString& Name)
{
    const int i = Box->findText(Name);
    const QString stable = i >= 0 ? Box->itemData(i, PortStableNameRole).toString() : QString();
    return stable.isEmpty() ? Name : stable;
}

QString CurrentPortText(const std::vector<TPortInfo>& Ports, const QString& Remembered)
{
    return QString::fromStdString(CurrentPortName(Ports, Remembered.toStdString()));
}

} // namespace kvt::ui
