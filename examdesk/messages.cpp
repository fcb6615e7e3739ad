// The bilingual texts of the test-taking program's own failure messages.
#include "messages.h"

namespace examdesk {

QString messageText(Message message, bool chinese)
{
    switch (message) {
    case Message::PaperUnreadable:
        return chinese ? QStringLiteral("无法打开试卷 %1：%2")
                       : QStringLiteral("The paper %1 cannot be opened: %2");
    case Message::PaperBadLine:
        return chinese ? QStringLiteral("试卷 %1 第 %2 行已损坏，无法读取。")
                       : QStringLiteral("The paper %1 is damaged at line %2 and cannot be read.");
    case Message::PaperEmpty:
        return chinese ? QStringLiteral("试卷 %1 中没有试题。")
                       : QStringLiteral("The paper %1 holds no questions.");
    case Message::PaperTooLarge:
        return chinese ? QStringLiteral("试卷 %1 的试题超过 32766 道，无法考试。")
                       : QStringLiteral("The paper %1 holds more than 32766 questions and cannot be taken.");
    case Message::UnknownKind:
        return chinese ? QStringLiteral("试卷 %1 第 %2 行的题型代码“%3”无法识别。")
                       : QStringLiteral("The paper %1 has the unknown question kind \"%3\" at line %2.");
    case Message::MarksOutOfRange:
        return chinese ? QStringLiteral("试卷 %1 的总分 %2 超出 -32768 到 32767 的范围，无法考试。")
                       : QStringLiteral("The full marks of the paper %1 (%2) lie outside -32768 to 32767; it cannot be taken.");
    case Message::ResultTooLong:
        return chinese ? QStringLiteral("成绩太长，无法交给登录程序。成绩已保存在 %1，请告知监考老师。")
                       : QStringLiteral("The result is too long to hand to the login program. It is saved in %1; please tell the examiner.");
    case Message::HandOffFailed:
        return chinese ? QStringLiteral("成绩未能交给登录程序。成绩已保存在 %1，请告知监考老师。")
                       : QStringLiteral("The result could not be handed to the login program. It is saved in %1; please tell the examiner.");
    case Message::HandOffNotSaved:
        return chinese ? QStringLiteral("成绩未能交给登录程序，也未能保存（%2）。请把下面的成绩码抄给监考老师：\n%1")
                       : QStringLiteral("The result could not be handed to the login program nor saved (%2). Please copy this result code for the examiner:\n%1");
    }
    return {};
}

} // namespace examdesk
