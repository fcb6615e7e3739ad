// The test-taking program's texts in Chinese and English.
#include "examdesk/texts.h"

namespace examdesk {

namespace {

using namespace text;

const TextEntry entries[] = {
    { TimeLabel, "时间", "Remain" },
    { CountLabel, "题号", "Count" },
    { StartButton, "开始", "Start" },
    { SubmitButton, "结束", "Submit" },
    { CaptionStem, "Orla客户端程序V1.1", "ZeloClientV1.1" },
    { TotalLabel, "总分", "Total" },
    { SubjectPart, " 科目:", " Subject:" },
    { TitlePart, " 试卷名:", " Test Name:" },
    { AuthorPart, " 出题人:", " Author:" },
    { ViewCaption, "试题", "Questions" },
    { SingleKind, "单项选择", "Multi-Choice" },
    { MarksUnit, "分", " Marks" },
    { BlankKind, "填空", "Fill in the blanks with proper words" },
    { PerBlank, "/空", " per blank" },
    { MultipleKind, "多项选择", "Multi-Select" },
    { AlreadyRunning, "程序已经启动", "This Program has run already" },
    { MissingQuestion, "试题不存在", "Tests does not exist" },
    { Fault, "错误", "Fault" },
    { TrueFalseKind, "判断", "True or False" },
    { PaperUnreadable, "无法打开试卷 %1：%2", "The paper %1 cannot be opened: %2" },
    { PaperBadLine, "试卷 %1 第 %2 行已损坏，无法读取。", "The paper %1 is damaged at line %2 and cannot be read." },
    { PaperEmpty, "试卷 %1 中没有试题。", "The paper %1 holds no questions." },
    { PaperTooLarge, "试卷 %1 的试题超过 32766 道，无法考试。",
      "The paper %1 holds more than 32766 questions and cannot be taken." },
    { UnknownKind, "试卷 %1 第 %2 行的题型代码“%3”无法识别。",
      "The paper %1 has the unknown question kind \"%3\" at line %2." },
    { MarksOutOfRange, "试卷 %1 的总分 %2 超出 -32768 到 32767 的范围，无法考试。",
      "The full marks of the paper %1 (%2) lie outside -32768 to 32767; it cannot be taken." },
    { ResultTooLong, "成绩太长，无法交给登录程序。成绩已保存在：\n%1\n请告知监考老师。",
      "The result is too long to hand to the login program. It is saved in:\n%1\nPlease tell the examiner." },
    { HandOffFailed, "成绩未能交给登录程序。成绩已保存在：\n%1\n请告知监考老师。",
      "The result could not be handed to the login program. It is saved in:\n%1\nPlease tell the examiner." },
    { HandOffNotSaved, "成绩未能交给登录程序，也未能保存（%2）。请把下面的成绩码抄给监考老师：\n%1",
      "The result could not be handed to the login program nor saved (%2). Please copy this result code for "
      "the examiner:\n%1" },
    { FixedViewCaption, "试题", "试题" },
    { TimeUsedLabel, "用时", "Used" },
    { Resumed, "已恢复", "Resumed" },
    { JournalDamaged, "本场考试保存的答案 %1 已损坏，无法恢复，已另存为 %2。考试将重新开始。",
      "The saved answers of this test, %1, are damaged and cannot be used; they are kept as %2. The test "
      "starts afresh." },
    { SheetHandedInTitle, "已交卷", "Handed in" },
    { SheetHandedIn, "答卷已交出。本场考试由考试服务器评分，这里不显示成绩。",
      "Your answers have been handed in. The exam server scores them, so no score is shown here." },
    { SheetTooLong, "答卷太长，无法交给登录程序，未评分。答卷已保存在：\n%1\n请告知监考老师。",
      "The answers are too long to hand to the login program and have not been scored. They are saved "
      "in:\n%1\nPlease tell the examiner." },
    { SheetHandOffFailed, "答卷未能交给登录程序，未评分。答卷已保存在：\n%1\n请告知监考老师。",
      "The answers could not be handed to the login program and have not been scored. They are saved "
      "in:\n%1\nPlease tell the examiner." },
    { SheetNotSaved, "答卷未能交给登录程序，也未能保存（%1），未评分。请立即告知监考老师。",
      "The answers could not be handed to the login program nor saved (%1) and have not been scored. "
      "Please tell the examiner now." },
};

} // namespace

std::span<const TextEntry> textEntries()
{
    return entries;
}

std::unique_ptr<CmultiLanguage> stringTable(int lcid)
{
    return chooseStringTable(entries, lcid);
}

} // namespace examdesk
