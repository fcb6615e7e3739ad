// The second-instance notice, and file paths kept whole in message text.
#include "examdesk/notices.h"

#include "examdesk/testsession.h"
#include "examdesk/texts.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

namespace examdesk {

namespace {
// What a title bar takes beside its title: the window's icon, three buttons and margins.
constexpr int titleBarRoom = 160;
constexpr QChar wordJoiner(0x2060);
} // namespace

std::unique_ptr<QMessageBox> alreadyRunningBox(const CmultiLanguage &table)
{
    const QString title = startCaption(table);
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, title, table.getRes(text::AlreadyRunning),
                                             QMessageBox::Ok);
    // The box is as narrow as its short text allows, which would cut its title; a spacer across
    // the box's grid makes it wide enough. Title bars often set their title in bold.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const int wide = QFontMetrics(titleFont).horizontalAdvance(title) + titleBarRoom;
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
        grid->addItem(new QSpacerItem(wide, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    return box;
}

QString withPathUnbroken(const QString &text, const QString &path)
{
    if (path.isEmpty())
        return text;
    // A word joiner between every two characters leaves no place to break the line, and a
    // blank breaks all the same unless it is a no-break space. A path wider than the screen
    // is still broken anywhere by the message box itself.
    QString joined;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (i > 0 && !path[i].isLowSurrogate() && !path[i].isMark())
            joined += wordJoiner;
        joined += path[i] == u' ' ? QChar(QChar::Nbsp) : path[i];
    }
    return QString(text).replace(path, joined);
}

} // namespace examdesk
