// The authoring program's texts in Chinese and English.
#include "vellum/texts.h"

namespace vellum {

namespace {

using namespace text;

const TextEntry entries[] = {
    { WindowTitle, "Orla试卷生成器V1.1", "ZeloGeneratorV1.1" },
    { AddQuestion, "添加试题", "Add Question" },
    { EditQuestion, "修改试题", "Edit Question" },
    { OpenTests, "打开试卷", "Open Tests" },
    { Close, "关闭", "Close" },
    { TestsTitle, "试卷标题", "Tests Title" },
    { Subject, "科目名称", "Subject" },
    { TimeLimited, "考试计时", "Time Limited" },
    { Total, "总分", "Total" },
    { Author, "出题人", "Author" },
    { FileName, "试卷文件名", "Tests FileName" },
    { OpenDialogTitle, "打开试卷", "Open Tests" },
    { FileExists, "文件已存在!", "File already exists" },
    { Warning, "提示", "Warning" },
    { Incomplete, "填写不完整或错误", "Required Field unavailable" },
    { TestsFile, "试卷文件", "Tests File" },
    { Minutes, "分钟", "Minutes" },
    { Question, "题目内容", "Question" },
    { ImageId, "图片资源标识", "Image ID" },
    { Type, "类型", "Type" },
    { Answer, "答案", "Answer" },
    { Marks, "分值", "Marks" },
    { OptionA, "选项A", "Option A" },
    { OptionB, "选项B", "Option B" },
    { OptionC, "选项C", "Option C" },
    { OptionD, "选项D", "Option D" },
    { OptionE, "选项E", "Option E" },
    { OptionF, "选项F", "Option F" },
    { KindSingle, "单选", "Multi-Choice" },
    { KindMultiple, "多选", "Multi-Select" },
    { KindBlank, "填空", "Fill-in-the-blank" },
    { Add, "添加", "Add" },
    { Delete, "删除", "Delete" },
    { BlankRule, "填空题为每空分值,且答案填在选项中", "If FillBlank,the marks as per blank's,the answer should fill in Options" },
    { Position, "题号", "Count" },
    { CountBefore, "试卷中共有", "Tests has " },
    { CountAfter, "题", " Items" },
    { MarksNotNumber, "必须是数字且大于零!", "Should be Number" },
    { KindTrueFalse, "判断", "True or False" },
    { CaretRefused, "不能输入字符^,它是试卷文件的分隔符", "The character ^ cannot be used: it separates the fields of a tests file" },
    { CannotOpen, "无法打开试卷:文件为空、已损坏或不是试卷文件", "Cannot open the tests file: it is empty, damaged or not a tests file" },
    { CannotSave, "试卷未能保存,所有内容仍保留在窗口中:", "The tests file could not be saved; everything is still in the window: " },
    { BadImageId, "图片资源标识必须是0到32767之间的整数", "Image ID must be a whole number from 0 to 32767" },
    { QuestionSkipped, "无法显示的试题已跳过,题号:", "A question that cannot be shown was skipped, number: " },
    { CloseWithoutSaving, "不保存就关闭?所做的修改将丢失。", "Close without saving? The changes will be lost." },
    { CannotWriteThere, "无法在此位置写入试卷文件:", "The tests file cannot be written there: " },
    { FullMarksTooHigh, "试卷满分不能超过32767", "The full marks of the tests cannot exceed 32767" },
    { KeptIn, "本程序的文件夹不可写入,试卷保存在:", "The program folder cannot be written; papers are kept in: " },
    { NotStored, "此题的修改尚未保存:", "The changes to this question are not stored yet:" },
    { QuestionEmpty, "题目内容为空", "The question is empty" },
    { MarksMissing, "分值必须是大于零的数字", "The marks must be a number greater than zero" },
    { OptionAEmpty, "选项A为空", "Option A is empty" },
    { NoKind, "未选择类型", "No type is chosen" },
    { UnknownKind, "类型代码\"%1\"不是9、8、7、6之一,请选择类型", "The type code \"%1\" is none of 9, 8, 7, 6; choose a type" },
    { NoAnswer, "未选择答案", "No answer is marked" },
    { AnswerOptionEmpty, "答案选中了选项%1,但选项%1为空", "The answer marks option %1, which is empty" },
    { AnswerDoesNotFit, "答案\"%1\"不符合此类型,请重新选择答案", "The answer \"%1\" does not fit the type; mark the answer again" },
    { OptionBEmpty, "选项B为空", "Option B is empty" },
    { PaperFull, "试卷最多只能有32766题", "A tests file holds at most 32766 questions" },
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

} // namespace vellum
