// The system's default locale as the Windows locale number the programs choose their language by.
#pragma once

#include <QString>

// Maps a POSIX locale name such as zh_CN.UTF-8 or en_US@euro to its locale number:
// zh_CN 2052, zh_TW 1028, zh_HK 3076, zh_SG 4100, en_US 1033, and so on; names it
// does not know give 1033.
int lcidFromLocaleName(const QString &name);

// The number for the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
int systemDefaultLcid();
