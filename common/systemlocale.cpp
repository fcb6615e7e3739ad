// The system's default locale as the Windows locale number the programs choose their language by.
#include "common/systemlocale.h"

#include <QHash>

int lcidFromLocaleName(const QString &name)
{
    static const QHash<QString, int> known = {
        { QStringLiteral("zh_CN"), 2052 }, { QStringLiteral("zh_TW"), 1028 },
        { QStringLiteral("zh_HK"), 3076 }, { QStringLiteral("zh_SG"), 4100 },
        { QStringLiteral("zh_MO"), 5124 }, { QStringLiteral("zh"), 4 },
        { QStringLiteral("en_US"), 1033 }, { QStringLiteral("en_GB"), 2057 },
        { QStringLiteral("en_AU"), 3081 }, { QStringLiteral("en_CA"), 4105 },
        { QStringLiteral("en"), 9 },       { QStringLiteral("de_DE"), 1031 },
        { QStringLiteral("fr_FR"), 1036 }, { QStringLiteral("ja_JP"), 1041 },
        { QStringLiteral("ko_KR"), 1042 }, { QStringLiteral("es_ES"), 3082 },
        { QStringLiteral("ru_RU"), 1049 }, { QStringLiteral("it_IT"), 1040 },
    };
    // language[_territory][.codeset][@modifier]
    QString base = name;
    base.truncate(std::min(base.indexOf(u'.') < 0 ? base.size() : base.indexOf(u'.'),
                           base.indexOf(u'@') < 0 ? base.size() : base.indexOf(u'@')));
    base.replace(u'-', u'_');
    const qsizetype underscore = base.indexOf(u'_');
    if (underscore >= 0)
        base = base.left(underscore).toLower() + u'_' + base.mid(underscore + 1).toUpper();
    else
        base = base.toLower();
    return known.value(base, 1033);
}

int systemDefaultLcid()
{
    for (const char *variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return lcidFromLocaleName(value);
    }
    return 1033;
}
