#include "ui/Icons.h"

#include <QFile>
#include <QIcon>

namespace rollcall::ui {

QString IconPath(int number)
{
    if (number < FirstIcon || number > LastIcon)
        return {};
    return QStringLiteral(":/icons/icon%1.svg").arg(number);
}

QIcon Icon(int number)
{
    const QString path = IconPath(number);
    if (path.isEmpty() || !QFile::exists(path))
        return {};
    return QIcon(path);
}

QPixmap IconPixmap(int number, int size)
{
    return Icon(number).pixmap(size, size);
}

QPixmap WelcomePicture()
{
    return QPixmap(QStringLiteral(":/icons/welcome.svg"));
}

} // namespace rollcall::ui
