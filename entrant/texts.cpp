// The login client's texts in Chinese and English.
#include "entrant/texts.h"

namespace entrant {

namespace {

using namespace text;

const TextEntry entries[] = {
    { LoginButton, "登录", "Login" },
    { SettingButton, "设置", "Setting" },
    { IdCaption, "考号或姓名", "ID or Name" },
    { IdLimit, "考号或姓名长度限制为12位", "Max Length of ID or Name is 12" },
    { BlankId, "考号或姓名不能为空", "ID or Name cannot be blank" },
    { Communicating, "稍候,正在通讯...", "Connetting..." },
    { Over, "通讯完毕", "Over" },
    { ServerNotFound, "服务器未找到", "Server not found" },
    { Transferring, "稍候,正在传送文件...", "Transfering..." },
    { TransferDone, "文件传送完毕", "File transfer completed" },
    { AddressPrompt, "请输入服务器IP地址(格式如192.168.1.1)", "Please enter IP of server(format like 192.168.1.1)" },
    { Title, "Orla客户端程序V1.1", "ZeloClientV1.1" },
    { AlreadyLoggedIn, "该用户已登录", "This User has Logined" },
    { BadPort, "端口设置无效:", "Bad port setting: " },
    { BadAnnouncement, "试卷通告无效:", "Bad paper announcement: " },
    { StaleNotDeleted, "旧试卷无法删除:", "Old paper cannot be deleted: " },
    { PaperNotWritten, "试卷无法写入:", "Paper cannot be written: " },
    { PaperTooLong, "收到的试卷超过通告的长度", "Paper longer than announced" },
    { PaperIncomplete, "试卷不完整:", "Paper incomplete: " },
    { ExamdeskNotStarted, "考试程序无法启动:", "examdesk cannot be started: " },
    { ChannelNotOpened, "成绩通道无法打开:", "Result channel cannot be opened: " },
    { AddressNotSaved, "服务器地址无法保存:", "Server address not saved: " },
    { FilePortBusy, "文件端口无法监听:", "File port cannot be listened on: " },
    { CloseUndelivered, "成绩尚未送达服务器,仍要关闭吗?", "The result has not reached the server. Close anyway?" },
    { AlreadyRunning, "客户端程序已在运行", "The login client is already running" },
    { OkButton, "确定", "OK" },
    { CancelButton, "取消", "Cancel" },
    { CloseButton, "关闭", "Close" },
    { ExamdeskEnded, "考试程序未交回成绩就已结束,请联系监考老师", "The test program ended without handing in a result. Please call the examiner." },
    { RestartButton, "重新开始考试", "Start the test again" },
    { KeptIn, "本程序的文件夹不可写入,设置和试卷保存在:", "The program folder cannot be written; settings and papers are kept in: " },
    { SubmitButton, "Submit", "Submit" },
    { SheetUndelivered, "答卷尚未送达服务器,仍要关闭吗?", "The answers have not reached the server. Close anyway?" },
    { TooLargeForServer, "交卷内容太大(%1字节,服务器最多接收%2字节),无法发送。考试程序已在试卷旁保存副本,请联系监考老师",
      "What the test program handed in is too large for the server (%1 bytes, at most %2) and cannot be sent. "
      "The test program kept a copy beside the paper; please call the examiner." },
    { NotOnList, "本场考试的名单中没有该考号", "This ID is not on the list of this exam" },
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

} // namespace entrant
