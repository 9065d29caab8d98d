// The items of the port box: each item's text is the port's name, which the connect opens and the
// status bar shows; the drop-down list and the tooltip show the name with what the system calls
// the device ("COM5 — USB Serial Port").
#pragma once

#include "serial/portinfo.h"

#include <QComboBox>
#include <QStyledItemDelegate>

#include <vector>

namespace kvt::ui {

// The item role of the text shown in the list.
constexpr int PortListTextRole = Qt::UserRole + 1;
// The item role of the port's stable name (empty when it has none).
constexpr int PortStableNameRole = Qt::UserRole + 2;

class TPortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // What the list shows for the item at Index.
    static QString ListText(const QModelIndex& Index);

protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;
};

// Gives Box the delegate that shows the list texts.
void InstallPortItemDelegate(QComboBox* Box);
// Whether Box's items are Ports, as SetPortItems would make them.
bool PortItemsAre(const QComboBox* Box, const std::vector<TPortInfo>& Ports);
// Replaces Box's items with Ports; the list is made wide enough for its longest text.
void SetPortItems(QComboBox* Box, const std::vector<TPortInfo>& Ports);
// The name to remember for the port Name of Box: the item's stable name where it has one.
QString RememberedPortText(const QComboBox* Box, const QString& Name);
// A remembered port as Ports call it now (a stable name becomes the port's current name).
QString CurrentPortText(const std::vector<TPortInfo>& Ports, const QString& Remembered);

} // namespace kvt::ui
