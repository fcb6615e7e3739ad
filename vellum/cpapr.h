// The header of the paper being authored.
#pragma once

#include <QString>

namespace vellum {

class Cpapr
{
public:
    QString Title;
    QString Subject;
    qint16 timeLimit = 90; // minutes
    qint16 Total = 100;    // marks
    QString Author;
    QString FileName;

    // Every text present and both numbers at least 1.
    bool validateItem() const;
};

} // namespace vellum
