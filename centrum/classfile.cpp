// A served paper as measured at service start.
#include "centrum/classfile.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace centrum {

bool ClassFile::setFileLen(const QString &folder, const CmultiLanguage &texts, QString *why)
{
    auto refuse = [&texts, why](text::Id reason) {
        if (why)
            *why = texts.getRes(reason);
        return false;
    };
    const qsizetype cut = std::max(fName.lastIndexOf(u'/'), fName.lastIndexOf(u'\\'));
    fNameNoPs = fName.mid(cut + 1);
    fPath = QDir(folder).filePath(fName);
    fLength = 0;
    if (fName.contains(u','))
        return refuse(text::PathHasComma);
    if (fNameNoPs.isEmpty())
        return refuse(text::NoFileName);
    const QFileInfo info(fPath);
    if (!info.exists())
        return refuse(text::FileMissing);
    if (!info.isFile() || !info.isReadable())
        return refuse(text::NotReadableFile);
    if (info.size() == 0)
        return refuse(text::FileEmpty);
    if (info.size() > std::numeric_limits<qint32>::max())
        return refuse(text::FileTooLarge);
    fLength = qint32(info.size());
    return true;
}

} // namespace centrum
