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
