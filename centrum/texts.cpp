// The exam server's texts in Chinese and English.
#include "centrum/texts.h"

namespace centrum {

namespace {

using namespace text;

const TextEntry entries[] = {
    { WindowTitle, "Orla服务器程序V1.1", "ZeloServerV1.1" },
    { AddTests, "添加试卷", "Add Tests" },
    { ShowReport, "查看成绩", "Show Report" },
    { ShowLog, "查看日志", "Show Log" },
    { StartService, "启动服务", "Start" },
    { StopService, "停止服务", "Stop" },
    { Close, "关闭", "Close" },
    { ServiceStarted, " 服务启动", " Server Started" },
    { ServiceStopped, " 服务停止", " Server Stoped" },
    { NoTests, "没有试卷", "NO Tests" },
    { Warning, "提示", "Warning" },
    { LogFileList, "日志文件列表", "Log File List" },
    { ReportFileList, "成绩文件列表", "Report File List" },
    { TestsFile, "试卷文件", "Tests File" },
    { ConnectionRequest, " 连接请求", " Connection Request" },
    { SentTo, " 发送到IP:", " Send to IP:" },
    { SubmittedBy, " 成绩提交IP:", " Submit by IP:" },
    { AddTestsTitle, "添加试卷", "Add Tests" },
    { IdColumn, "考号", "ID or Name" },
    { MarksColumn, "得分", "Marks" },
    { TimeColumn, "用时", "TimeSpent" },
    { PaperColumn, "试卷号", "Tests File" },
    { AddressColumn, "登录地址", "Location" },
    { ReportsTitle, "成绩列表", "Reports" },
    { LocalIp, " 本机IP地址:", " Local IP:" },
    { ExportCsvButton, "导出CSV(&E)", "&Export CSV" },
    { ExportCsvTitle, "导出CSV", "Export CSV" },
    { CsvFiles, "CSV文件", "CSV files" },
    { CsvNotWritten, "CSV文件无法写入:", "CSV file cannot be written:" },
    { Summary, "考生:%1   平均分:%2   中位数:%3   最低分:%4   最高分:%5", "Candidates: %1   Mean: %2   Median: %3   Lowest: %4   Highest: %5" },
    { NotNumbers, "   非数字成绩:%1(未计入)", "   Not numbers: %1 (left out)" },
    { NoScores, "考生:%1   没有可统计的成绩", "Candidates: %1   No scores to count" },
    { CandidatesAxis, "人数", "Candidates" },
    { ScoreDistribution, "成绩分布", "Score distribution" },
    // allowing an ID to log in again, shuffled papers, the console commands, where files are kept
    { AllowAgain, "允许重新登录", "Allow Again" },
    { AllowPrompt, "选择或输入允许再登录一次的考号:", "Choose or type the ID that may log in once more:" },
    { AllowOk, "确定", "OK" },
    { AllowCancel, "取消", "Cancel" },
    { AllowConfirm, "确定允许该考号再登录一次吗?考号:", "Let this ID log in once more? ID: " },
    { AllowedAgain, " 允许重新登录:", " Allowed to log in again:" },
    { NotLoggedIn, "该考号尚未登录:", "This ID has not logged in: " },
    { ShuffleRefused, " 试卷无法打乱:", " Paper cannot be shuffled:" },
    { Shuffling, " 试卷按考生打乱顺序发送", " Papers are shuffled for each candidate" },
    { ConsoleHelp, "命令: allow 考号 (允许该考号再登录一次); help (显示本说明)", "Commands: allow ID (lets the ID log in once more); help (shows this)" },
    { UnknownCommand, "未知命令:", "Unknown command: " },
    { KeptIn, "本程序的文件夹不可写入,设置、日志和成绩保存在:", "The program folder cannot be written; settings, logs and reports are kept in: " },
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

} // namespace centrum
