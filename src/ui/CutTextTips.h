#pragma once

// A list cell too narrow for its text shows the whole text as a tool tip. Cell texts come from
// the network, so the tip shows them as plain text, never as markup.

#include <QStyledItemDelegate>

namespace rollcall::ui {

class CutTextTips final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CutTextTips)

public:
    explicit CutTextTips(QObject *parent = nullptr);

    // True when the cell's text is wider than the room the cell gives it.
    static bool isCut(const QStyleOptionViewItem &option, const QModelIndex &index);

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
};

// Rich text that shows `text` exactly as it is, blanks and angle brackets included.
QString PlainToolTip(const QString &text);

} // namespace rollcall::ui
