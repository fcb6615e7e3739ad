// The texts of the four programs' string tables, in Chinese and English.
#include "multilanguage.h"

#include <stdexcept>
#include <string>

namespace {

struct Entry {
    int number;
    const char *chinese;
    const char *english;
};

// the authoring program; numbers left out are empty entries that keep the later numbers in place
const Entry vellumEntries[] = {
    { 1, "Orla试卷生成器V1.1", "ZeloGeneratorV1.1" },
    { 2, "添加试题", "Add Question" },
    { 3, "修改试题", "Edit Question" },
    { 4, "打开试卷", "Open Tests" },
    { 6, "关闭", "Close" },
    { 7, "试卷标题", "Tests Title" },
    { 8, "科目名称", "Subject" },
    { 9, "考试计时", "Time Limited" },
    { 10, "总分", "Total" },
    { 11, "出题人", "Author" },
    { 12, "试卷文件名", "Tests FileName" },
    { 13, "打开试卷", "Open Tests" },
    { 14, "文件已存在!", "File already exists" },
    { 15, "提示", "Warning" },
    { 16, "填写不完整或错误", "Required Field unavailable" },
    { 17, "试卷文件", "Tests File" },
    { 18, "分钟", "Minutes" },
    { 19, "题目内容", "Question" },
    { 20, "图片资源标识", "Image ID" },
    { 21, "类型", "Type" },
    { 22, "答案", "Answer" },
    { 23, "分值", "Marks" },
    { 24, "选项A", "Option A" },
    { 25, "选项B", "Option B" },
    { 26, "选项C", "Option C" },
    { 27, "选项D", "Option D" },
    { 28, "选项E", "Option E" },
    { 29, "选项F", "Option F" },
    { 30, "单选", "Multi-Choice" },
    { 31, "多选", "Multi-Select" },
    { 32, "填空", "Fill-in-the-blank" },
    { 33, "添加", "Add" },
    { 34, "删除", "Delete" },
    { 35, "填空题为每空分值,且答案填在选项中", "If FillBlank,the marks as per blank's,the answer should fill in Options" },
    { 36, "题号", "Count" },
    { 43, "试卷中共有", "Tests has " },
    { 44, "题", " Items" },
    { 45, "必须是数字且大于零!", "Should be Number" },
    { 46, "判断", "True or False" },
    { 47, "不能输入字符^,它是试卷文件的分隔符", "The character ^ cannot be used: it separates the fields of a tests file" },
    { 48, "无法打开试卷:文件为空、已损坏或不是试卷文件", "Cannot open the tests file: it is empty, damaged or not a tests file" },
    { 49, "试卷未能保存,所有内容仍保留在窗口中:", "The tests file could not be saved; everything is still in the window: " },
    { 50, "图片资源标识必须是0到32767之间的整数", "Image ID must be a whole number from 0 to 32767" },
    { 51, "无法显示的试题已跳过,题号:", "A question that cannot be shown was skipped, number: " },
    { 52, "不保存就关闭?所做的修改将丢失。", "Close without saving? The changes will be lost." },
    { 53, "无法在此位置写入试卷文件:", "The tests file cannot be written there: " },
    { 54, "试卷满分不能超过32767", "The full marks of the tests cannot exceed 32767" },
};

// the test-taking program; numbers left out are empty entries that keep the later numbers in place
const Entry examdeskEntries[] = {
    { 1, "时间", "Remain" },
    { 2, "题号", "Count" },
    { 3, "开始", "Start" },
    { 4, "结束", "Submit" },
    { 5, "Orla客户端程序V1.1", "ZeloClientV1.1" },
    { 6, "总分", "Total" },
    { 7, " 科目:", " Subject:" },
    { 8, " 试卷名:", " Test Name:" },
    { 9, " 出题人:", " Author:" },
    { 10, "试题", "Questions" },
    { 11, "单项选择", "Multi-Choice" },
    { 12, "分", " Marks" },
    { 13, "填空", "Fill in the blanks with proper words" },
    { 14, "/空", " per blank" },
    { 15, "多项选择", "Multi-Select" },
    { 16, "程序已经启动", "This Program has run already" },
    { 17, "试题不存在", "Tests does not exist" },
    { 18, "错误", "Fault" },
    { 19, "判断", "True or False" },
};

// the exam server; numbers left out are empty entries that keep the later numbers in place
const Entry centrumEntries[] = {
    { 1, "Orla服务器程序V1.1", "ZeloServerV1.1" },
    { 2, "添加试卷", "Add Tests" },
    { 3, "查看成绩", "Show Report" },
    { 4, "查看日志", "Show Log" },
    { 5, "启动服务", "Start" },
    { 6, "停止服务", "Stop" },
    { 7, "关闭", "Close" },
    { 8, " 服务启动", " Server Started" },
    { 9, " 服务停止", " Server Stoped" },
    { 10, "没有试卷", "NO Tests" },
    { 11, "提示", "Warning" },
    { 12, "日志文件列表", "Log File List" },
    { 13, "成绩文件列表", "Report File List" },
    { 14, "试卷文件", "Tests File" },
    { 15, " 连接请求", " Connection Request" },
    { 16, " 发送到IP:", " Send to IP:" },
    { 17, " 成绩提交IP:", " Submit by IP:" },
    { 18, "添加试卷", "Add Tests" },
    { 19, "考号", "ID or Name" },
    { 20, "得分", "Marks" },
    { 21, "用时", "TimeSpent" },
    { 22, "试卷号", "Tests File" },
    { 23, "登录地址", "Location" },
    { 24, "成绩列表", "Reports" },
    { 25, " 本机IP地址:", " Local IP:" },
    { 26, "导出CSV(&E)", "&Export CSV" },
    { 27, "导出CSV", "Export CSV" },
    { 28, "CSV文件", "CSV files" },
    { 29, "CSV文件无法写入:", "CSV file cannot be written:" },
    { 30, "考生:%1   平均分:%2   中位数:%3   最低分:%4   最高分:%5", "Candidates: %1   Mean: %2   Median: %3   Lowest: %4   Highest: %5" },
    { 31, "   非数字成绩:%1(未计入)", "   Not numbers: %1 (left out)" },
    { 32, "考生:%1   没有可统计的成绩", "Candidates: %1   No scores to count" },
    { 33, "人数", "Candidates" },
    { 34, "成绩分布", "Score distribution" },
    // allowing an ID to log in again, and shuffled papers (centrum/texts.h names them)
    { 35, "允许重新登录", "Allow Again" },
    { 36, "选择或输入允许再登录一次的考号:", "Choose or type the ID that may log in once more:" },
    { 37, "确定", "OK" },
    { 38, "取消", "Cancel" },
    { 39, "确定允许该考号再登录一次吗?考号:", "Let this ID log in once more? ID: " },
    { 40, " 允许重新登录:", " Allowed to log in again:" },
    { 41, "该考号尚未登录:", "This ID has not logged in: " },
    { 42, " 试卷无法打乱:", " Paper cannot be shuffled:" },
    { 43, " 试卷按考生打乱顺序发送", " Papers are shuffled for each candidate" },
    { 44, "命令: allow 考号 (允许该考号再登录一次); help (显示本说明)", "Commands: allow ID (lets the ID log in once more); help (shows this)" },
    { 45, "未知命令:", "Unknown command: " },
};

// the candidate client; numbers left out are empty entries that keep the later numbers in place
const Entry entrantEntries[] = {
    { 1, "登录", "Login" },
    { 2, "设置", "Setting" },
    { 3, "考号或姓名", "ID or Name" },
    { 4, "考号或姓名长度限制为12位", "Max Length of ID or Name is 12" },
    { 5, "考号或姓名不能为空", "ID or Name cannot be blank" },
    { 6, "稍候,正在通讯...", "Connetting..." },
    { 7, "通讯完毕", "Over" },
    { 8, "服务器未找到", "Server not found" },
    { 9, "稍候,正在传送文件...", "Transfering..." },
    { 10, "文件传送完毕", "File transfer completed" },
    { 11, "请输入服务器IP地址(格式如192.168.1.1)", "Please enter IP of server(format like 192.168.1.1)" },
    { 12, "Orla客户端程序V1.1", "ZeloClientV1.1" },
    { 13, "该用户已登录", "This User has Logined" },
    { 14, "端口设置无效:", "Bad port setting: " },
    { 15, "试卷通告无效:", "Bad paper announcement: " },
    { 16, "旧试卷无法删除:", "Old paper cannot be deleted: " },
    { 17, "试卷无法写入:", "Paper cannot be written: " },
    { 18, "收到的试卷超过通告的长度", "Paper longer than announced" },
    { 19, "试卷不完整:", "Paper incomplete: " },
    { 20, "考试程序无法启动:", "examdesk cannot be started: " },
    { 21, "成绩通道无法打开:", "Result channel cannot be opened: " },
    { 22, "服务器地址无法保存:", "Server address not saved: " },
    { 23, "文件端口无法监听:", "File port cannot be listened on: " },
    { 24, "成绩尚未送达服务器,仍要关闭吗?", "The result has not reached the server. Close anyway?" },
    { 25, "客户端程序已在运行", "The login client is already running" },
    { 26, "确定", "OK" },
    { 27, "取消", "Cancel" },
    { 28, "关闭", "Close" },
    { 29, "考试程序未交回成绩就已结束,请联系监考老师", "The test program ended without handing in a result. Please call the examiner." },
    { 30, "重新开始考试", "Start the test again" },
};
template <size_t N>
QStringList build(const Entry (&entries)[N], bool chinese)
{
    QStringList texts(entries[N - 1].number);
    for (const Entry &e : entries)
        texts[e.number - 1] = QString::fromUtf8(chinese ? e.chinese : e.english);
    return texts;
}

QStringList textsOf(Program program, bool chinese)
{
    switch (program) {
    case Program::Vellum:
        return build(vellumEntries, chinese);
    case Program::Examdesk:
        return build(examdeskEntries, chinese);
    case Program::Centrum:
        return build(centrumEntries, chinese);
    case Program::Entrant:
        return build(entrantEntries, chinese);
    }
    return {};
}

} // namespace

QString CmultiLanguage::getRes(int) const
{
    return {};
}

StringTable::StringTable(Program program, bool chinese) : m_texts(textsOf(program, chinese)) { }

QString StringTable::getRes(int resID) const
{
    if (resID < 1 || resID > m_texts.size())
        throw std::out_of_range("no string table entry " + std::to_string(resID));
    return m_texts[resID - 1];
}

std::unique_ptr<CmultiLanguage> chooseStringTable(Program program, int lcid)
{
    if (lcid == chineseLcid)
        return std::make_unique<Cmlc>(program);
    return std::make_unique<Cmlo>(program);
}
