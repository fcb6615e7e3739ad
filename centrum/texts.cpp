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
    { ConsoleHelp, "命令: allow 考号 (允许该考号再登录一次); status (考场人数和尚未交卷的考生); help (显示本说明)", "Commands: allow ID (lets the ID log in once more); status (the room's counts and who has not submitted); help (shows this)" },
    { UnknownCommand, "未知命令:", "Unknown command: " },
    { KeptIn, "本程序的文件夹不可写入,设置、日志和成绩保存在:", "The program folder cannot be written; settings, logs and reports are kept in: " },
    // why the service did not start or a connection ended
    { BadPort, " 端口设置无效:", " Bad port setting:" },
    { BadPaper, " 试卷无法使用:", " Paper cannot be served:" },
    { Stalled, "%1秒无进展,已放弃传送", "no progress for %1 s, transfer given up" },
    { TooLong, "消息超过%1KiB", "message longer than %1 KiB" },
    { CommaPath, " 试卷路径不能含有\",\":", " A paper path cannot contain \",\":" },
    { PeerGone, "传送中对方断开", "the peer closed during the transfer" },
    { PortBusy, " 端口无法监听:", " Port cannot be listened on:" },
    { Unreadable, "文件无法读取:", "File cannot be read:" },
    { Quiet, "%1秒内没有完整的消息,已断开连接", "no whole message for %1 s, connection let go" },
    // why a paper cannot be served
    { PathHasComma, "含有\",\"", "contains \",\"" },
    { NoFileName, "没有文件名", "no file name" },
    { FileMissing, "不存在", "does not exist" },
    { NotReadableFile, "不是可读取的文件", "is not a readable file" },
    { FileEmpty, "是空文件", "is empty" },
    { FileTooLarge, "文件太大", "is too large" },
    { SendUnreadable, "%1无法读取", "%1 cannot be read" },
    { LengthChanged, "%1现在长%2字节,通告的是%3字节", "%1 is %2 bytes long now, %3 were announced" },
    // why a paper cannot be shuffled
    { AtLine, "第%1行:%2", "line %1: %2" },
    { NotHexadecimal, "第%1个字符不是十六进制数字", "not hexadecimal at character %1" },
    { DigitCount, "该行有%1个数字,不是每个字符四个", "the line has %1 digits, not four for each character" },
    { FieldCount, "该行有%1个字段,多于十一个", "the line has %1 fields, more than eleven" },
    { AnswerFieldExtra, "答案字段\"%1\"含有答案以外的内容", "the answer field \"%1\" holds more than the answer" },
    { AnswerAfterEmpty, "答案指向空选项之后的选项", "the answer names an option after an empty one" },
    { PaperFileEmpty, "文件为空", "the file is empty" },
    // the report viewer
    { UnreadableRow, "(成绩无法读取)", "(result unreadable)" },
    // a question of a paper to be shuffled, as the paper check finds it
    { QuestionTextEmpty, "题目内容为空", "the question text is empty" },
    { QuestionMarksMissing, "缺少分值", "the marks are missing" },
    { QuestionMarksNotNumber, "分值\"%1\"不是大于零的数字", "the marks \"%1\" are not a number greater than zero" },
    { QuestionOptionAEmpty, "选项A为空", "option A is empty" },
    { QuestionOptionBEmpty, "选项B为空", "option B is empty" },
    { QuestionKindMissing, "缺少类型代码", "the kind code is missing" },
    { QuestionKindUnknown, "类型代码\"%1\"不是9、8、7、6之一", "the kind code \"%1\" is none of 9, 8, 7, 6" },
    { SingleAnswerForm, "单选题答案必须是1到6中的一个数字,而不是\"%1\"", "a single-choice answer must be one digit from 1 to 6, not \"%1\"" },
    { MultipleAnswerForm, "多选题答案必须是按升序排列的1到6的数字,而不是\"%1\"", "a multiple-select answer must be digits from 1 to 6 in ascending order, not \"%1\"" },
    { TrueFalseAnswerForm, "判断题答案必须是1或2,而不是\"%1\"", "a true-or-false answer must be 1 or 2, not \"%1\"" },
    { AnswerNamesEmptyOption, "答案指向选项%1,但该选项为空", "the answer names option %1, which is empty" },
    { BadTransfers, " 同时发送试卷数设置无效(应为1到64的整数):", " Bad setting of papers sent at once (a whole number from 1 to 64):" },
    { ResumedLogin, " 恢复登录:", " Resumed login:" },
    { SecretDamaged, " 服务器密钥文件已损坏(不会被替换):", " Server key file is damaged (it is not replaced):" },
    { SecretNotWritten, " 服务器密钥文件无法写入:", " Server key file cannot be written:" },
    // secure mode
    { SecureMode, " 安全模式:试卷不含答案,答卷在服务器评分", " Secure mode: papers go out without answers, sheets are scored here" },
    { SecureRefused, " 安全模式无法提供该试卷:", " Paper cannot be served in secure mode: " },
    { ResultRefused, " 拒绝成绩(已拒绝%1份):%2 IP:%3 考号:%4", " Result refused (%1 so far): %2 IP:%3 ID:%4" },
    { NotASheet, "不是答卷(安全模式不接受分数)", "not an answer sheet (a score is not taken in secure mode)" },
    { SheetUnreadable, "答卷无法读取", "the answer sheet cannot be read" },
    { TokenNotIssued, "答卷的令牌不是发给该考号的", "the sheet's token was not issued to this ID" },
    { PaperNotServed, "试卷%1未在本次服务中提供", "paper %1 is not served" },
    { AnswerCount, "答卷有%1个答案,试卷有%2道题", "the sheet holds %1 answers, the paper %2 questions" },
    { ResultTaken, "该考号已有试卷%1的成绩", "this ID already has a result for paper %1" },
    { SheetAgain, " 答卷已保存,再次确认:", " Sheet already stored, confirmed again:" },
    // the room at a glance
    { RoomTab, "考场(&R)", "&Room" },
    { LogTab, "日志(&L)", "&Log" },
    { Counters, "应到:%1   已登录:%2   正在答题:%3   已交卷:%4   缺考:%5", "Expected: %1   Logged in: %2   Taking the test: %3   Submitted: %4   Absent: %5" },
    { NameColumn, "姓名", "Name" },
    { SeatColumn, "座位", "Seat" },
    { LoginTimeColumn, "登录时间", "Logged in" },
    { StateColumn, "状态", "State" },
    { ResultTimeColumn, "交卷时间", "Submitted at" },
    { StateAbsent, "未到", "Absent" },
    { StateWaiting, "等待试卷", "Waiting for the paper" },
    { StateReceiving, "正在接收试卷 %1%", "Receiving the paper %1%" },
    { StateTesting, "正在答题", "Taking the test" },
    { StateSubmitted, "已交卷", "Submitted" },
    { StateTransferFailed, "试卷传送失败", "Transfer failed" },
    { StateAllowedAgain, "已允许重新登录", "Allowed again" },
    { StateResumed, "已恢复登录", "Resumed" },
    { StateRefused, "已拒绝登录", "Refused" },
    { Unexpected, " (不在名单上)", " (not on the list)" },
    { RosterButton, "考生名单(&O)…", "R&oster…" },
    { RosterTitle, "载入考生名单", "Load the roster" },
    { RosterFiles, "考生名单", "Rosters" },
    { RosterUnreadable, " 考生名单无法读取:", " Roster cannot be read:" },
    { RosterLoaded, " 考生名单:%1人,来自%2", " Roster: %1 candidates from %2" },
    { NotOnRoster, " 考号不在考生名单上,拒绝登录:", " ID not on the roster, login refused:" },
    { NotSubmittedYet, "尚未交卷:", "Not submitted yet:" },
    { RosterNoIdColumn, "第%1行的标题中没有考号(ID)列", "the header on line %1 has no ID column" },
    { RosterUnclosedQuote, "第%1行的引号没有闭合", "the quote opened on line %1 is never closed" },
    { RosterEmpty, "名单中没有考号", "the roster holds no ID" },
    { RosterIdTooLong, "第%1行的考号\"%2\"超过12个字符,无法登录", "the ID \"%2\" on line %1 is longer than 12 characters and could never log in" },
    { RosterNotUtf8, "不是UTF-8文本", "not UTF-8 text" },
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
