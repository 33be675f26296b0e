// Every control of the 24 windows as the operator sees it: its name, what kind of control it is,
// its caption or first text, its colour and the group box it stands in, against one table written
// out from the windows' descriptions. A control missing, renamed, moved to another group,
// recoloured or given another text fails here, and so does a named control the table does not list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QSvgWidget>
#include <memory>

#include "screen_env.h"
#include "shell/screen_map.h"
#include "ui/colors.h"
#include "ui/form.h"
#include "ui/widgets.h"

using namespace lorvane;
using namespace lorvane::ui;
using lorvane::test::groupOf;

namespace {

// What a control is to the operator.
enum class Is { Label, Heading, Entry, Display, Button, Group, List, Picture, PortList };
// Unless the table says otherwise, a control is shown and takes clicks (a display never does).
enum class State { Usual, Disabled, Hidden };

// colour: the text of a label, heading or group caption; the face of a field, button or list.
// background: a label's or group's, where it is not the panel's.
struct Row {
  const char* form;
  const char* name;
  Is kind;
  const char* caption;
  std::uint32_t colour;
  const char* group;
  std::uint32_t background = Panel;
  State state = State::Usual;
};

// clang-format off
const Row kTable[] = {
    {"Mainfrm1", "Label1", Is::Heading, "Lorvane", Blue, ""},
    {"Mainfrm1", "Frame2", Is::Group, "串口选择", Black, ""},
    {"Mainfrm1", "Label4", Is::Label, "本站串口号为:", Black, "Frame2"},
    {"Mainfrm1", "CKtxt", Is::Entry, "1", Cyan, "Frame2"},
    {"Mainfrm1", "Okcmd", Is::Button, "确定", Rose, "Frame2"},
    {"Mainfrm1", "EXcmd", Is::Button, "退出", PaleGreen, "Frame2"},
    {"Mainfrm1", "Findcmd", Is::Button, "查找控制器", LightYellow, "Frame2"},
    {"Mainfrm1", "CKlist", Is::PortList, "", 0, "Frame2"},
    {"Mainfrm1", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm1", "Refcmd", Is::Button, "各 轴 参 数 设 置", Green, "Frame1", Panel, State::Disabled},
    {"Mainfrm1", "Tstcmd", Is::Button, "系 统 功 能 测 试", Green, "Frame1", Panel, State::Disabled},
    {"Mainfrm1", "Xkcmd", Is::Button, "系 统 控 制 界 面", Green, "Frame1", Panel, State::Disabled},
    {"Mainfrm1", "Efcmd", Is::Button, "工 程 参 数 设 定", Green, "Frame1", Panel, State::Disabled},
    {"Mainfrm1", "WZcmd", Is::Button, "五 轴 接 线 图", Yellow, "Frame1"},
    {"Mainfrm1", "Label2", Is::Label, "量产", Black, "Frame1"},
    {"Mainfrm1", "LCtxt", Is::Entry, "0", Cyan, "Frame1", Panel, State::Disabled},
    {"Mainfrm1", "lccmd", Is::Button, "修改", LightYellow, "Frame1", Panel, State::Disabled},
    {"Mainfrm2", "Label1", Is::Heading, "系统控制界面", Blue, ""},
    {"Mainfrm2", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm2", "Frame4", Is::Group, "注意:当你没有设定工程的每步功能时，按启动按钮时，当前工作会显示的的比较快", Magenta, "Frame2", Yellow},
    {"Mainfrm2", "Label4", Is::Label, "当前工作在", Black, "Frame2"},
    {"Mainfrm2", "Djlel", Is::Label, "待机状态", Red, "Frame2"},
    {"Mainfrm2", "XYclel", Is::Label, "", Blue, "Frame2"},
    {"Mainfrm2", "Alel", Is::Label, "JA OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Blel", Is::Label, "JB OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Clel", Is::Label, "JC OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Dlel", Is::Label, "JD OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Elel", Is::Label, "JE OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Y1lel", Is::Label, "Y1 OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Y2lel", Is::Label, "Y2 OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Y3lel", Is::Label, "Y3 OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Y4lel", Is::Label, "Y4 OFF", Magenta, "Frame2"},
    {"Mainfrm2", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm2", "Label2", Is::Label, "当前工程", Black, "Frame1"},
    {"Mainfrm2", "Dgtxt", Is::Display, "0", Red, "Frame1"},
    {"Mainfrm2", "Label3", Is::Label, "当前产量", Black, "Frame1"},
    {"Mainfrm2", "Dltxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm2", "lc1cmd", Is::Button, "修改", LightYellow, "Frame1"},
    {"Mainfrm2", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm2", "Label6", Is::Label, "启动延时", Black, "Frame3"},
    {"Mainfrm2", "Qytxt", Is::Display, "0", Red, "Frame3"},
    {"Mainfrm2", "Label7", Is::Label, "ms", Black, "Frame3"},
    {"Mainfrm2", "Label8", Is::Label, "结束延时", Black, "Frame3"},
    {"Mainfrm2", "Jytxt", Is::Display, "0", Red, "Frame3"},
    {"Mainfrm2", "Label9", Is::Label, "ms", Black, "Frame3"},
    {"Mainfrm2", "Frame5", Is::Group, "", Black, ""},
    {"Mainfrm2", "Label10", Is::Label, "X", Black, "Frame5"},
    {"Mainfrm2", "Xtxt", Is::Display, "0", Red, "Frame5"},
    {"Mainfrm2", "Label15", Is::Label, "mm", Black, "Frame5"},
    {"Mainfrm2", "Label11", Is::Label, "Y", Black, "Frame5"},
    {"Mainfrm2", "Ytxt", Is::Display, "0", Red, "Frame5"},
    {"Mainfrm2", "Label16", Is::Label, "mm", Black, "Frame5"},
    {"Mainfrm2", "Label12", Is::Label, "Z", Black, "Frame5"},
    {"Mainfrm2", "Ztxt", Is::Display, "0", Red, "Frame5"},
    {"Mainfrm2", "Label17", Is::Label, "mm", Black, "Frame5"},
    {"Mainfrm2", "Label13", Is::Label, "C", Black, "Frame5"},
    {"Mainfrm2", "Ctxt", Is::Display, "0", Red, "Frame5"},
    {"Mainfrm2", "Label18", Is::Label, "mm", Black, "Frame5"},
    {"Mainfrm2", "Label14", Is::Label, "A", Black, "Frame5"},
    {"Mainfrm2", "Atxt", Is::Display, "0", Red, "Frame5"},
    {"Mainfrm2", "Label19", Is::Label, "mm", Black, "Frame5"},
    {"Mainfrm2", "Frame6", Is::Group, "信号值在0到13之间，对应外部输入点1-13，0表示不设定", Black, ""},
    {"Mainfrm2", "Label30", Is::Label, "启动开关信号口:L", Black, "Frame6"},
    {"Mainfrm2", "Qktxt", Is::Entry, "0", Cyan, "Frame6"},
    {"Mainfrm2", "Label31", Is::Label, "停止开关信号口:L", Black, "Frame6"},
    {"Mainfrm2", "Tktxt", Is::Entry, "0", Cyan, "Frame6"},
    {"Mainfrm2", "Qtcmd", Is::Button, "参数保存", Orange, "Frame6"},
    {"Mainfrm2", "Qdcmd", Is::Button, "启动", Salmon, ""},
    {"Mainfrm2", "Tzcmd", Is::Button, "停止", Salmon, ""},
    {"Mainfrm2", "LJcmd", Is::Button, "路径预览", SystemButton, ""},
    {"Mainfrm2", "Bacmd", Is::Button, "返回主界面", Green, ""},
    {"Mainfrm3", "Label1", Is::Heading, "各轴基本参数设置界面", Blue, ""},
    {"Mainfrm3", "Xcmd", Is::Button, "X 轴 参 数", Yellow, ""},
    {"Mainfrm3", "Ycmd", Is::Button, "Y 轴 参 数", Yellow, ""},
    {"Mainfrm3", "Zcmd", Is::Button, "Z 轴 参 数", Yellow, ""},
    {"Mainfrm3", "Ccmd", Is::Button, "C 轴 参 数", Yellow, ""},
    {"Mainfrm3", "Acmd", Is::Button, "A 轴 参 数", Yellow, ""},
    {"Mainfrm3", "BAcmd", Is::Button, "返回主界面", Green, ""},
    {"Mainfrm4", "Label1", Is::Heading, "系统功能测试界面", Black, ""},
    {"Mainfrm4", "Xcmd", Is::Button, "X、Y轴调试", Yellow, ""},
    {"Mainfrm4", "Ycmd", Is::Button, "Z、C轴调试", Yellow, ""},
    {"Mainfrm4", "Acmd", Is::Button, "A轴调试", Yellow, ""},
    {"Mainfrm4", "Sdcmd", Is::Button, "手动测试", Yellow, ""},
    {"Mainfrm4", "Frame1", Is::Group, "13路外部输入测试", Red, ""},
    {"Mainfrm4", "inputcmd", Is::Button, "输入测试", Yellow, "Frame1"},
    {"Mainfrm4", "Frame2", Is::Group, "12路外部输出测试", Black, ""},
    {"Mainfrm4", "outputcmd", Is::Button, "输出测试", Yellow, "Frame2"},
    {"Mainfrm4", "BAcmd", Is::Button, "返回主界面", Green, ""},
    {"Mainfrm5", "Szlel", Is::Heading, "", Blue, ""},
    {"Mainfrm5", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm5", "Label16", Is::Label, "外接驱动器细分:", Black, "Frame2"},
    {"Mainfrm5", "WQtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm5", "Label9", Is::Label, "调试速度:", Black, "Frame2"},
    {"Mainfrm5", "TStxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm5", "Label10", Is::Label, "RPM", Black, "Frame2"},
    {"Mainfrm5", "Label12", Is::Label, "设定机械零信号点:L", Black, "Frame2"},
    {"Mainfrm5", "JHtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm5", "Label1", Is::Label, "反向限位信号点:L", Black, "Frame2"},
    {"Mainfrm5", "FXtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm5", "Label2", Is::Label, "正向限位信号点:L", Black, "Frame2"},
    {"Mainfrm5", "ZXtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm5", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm5", "Label18", Is::Label, "电机步距角:", Black, "Frame3"},
    {"Mainfrm5", "DBtxt", Is::Entry, "0.00", Cyan, "Frame3"},
    {"Mainfrm5", "Label19", Is::Label, "度", Black, "Frame3"},
    {"Mainfrm5", "Label5", Is::Label, "启动频率:", Black, "Frame3"},
    {"Mainfrm5", "QPtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm5", "Label8", Is::Label, "HZ", Black, "Frame3"},
    {"Mainfrm5", "Label7", Is::Label, "加速频率:", Black, "Frame3"},
    {"Mainfrm5", "JPtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm5", "Label6", Is::Label, "HZ", Black, "Frame3"},
    {"Mainfrm5", "Frame1", Is::Group, "脉冲当量比例设定(螺距)", Black, "Frame3"},
    {"Mainfrm5", "Label20", Is::Label, "脉冲当量", Black, "Frame1"},
    {"Mainfrm5", "Label21", Is::Label, "距离mm", Black, "Frame1"},
    {"Mainfrm5", "MCtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm5", "Label22", Is::Label, ":", Black, "Frame1"},
    {"Mainfrm5", "JLtxt", Is::Entry, "0.000", Cyan, "Frame1"},
    {"Mainfrm5", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm5", "List1", Is::List, "", Cyan, "Frame5"},
    {"Mainfrm5", "Frame4", Is::Group, "", Black, ""},
    {"Mainfrm5", "SScmd", Is::Button, "下载并保存数据", SystemButton, "Frame4"},
    {"Mainfrm5", "EXtxt", Is::Button, "返 回", SystemButton, "Frame4"},
    {"Mainfrm6", "Label1", Is::Heading, "X、Y轴调试", Blue, ""},
    {"Mainfrm6", "Frame1", Is::Group, "X轴调试", DarkGreen, ""},
    {"Mainfrm6", "Label2", Is::Label, "当前坐标:", Black, "Frame1"},
    {"Mainfrm6", "ZXtxt", Is::Display, "0.00", Cyan, "Frame1"},
    {"Mainfrm6", "Label3", Is::Label, "点动距离:", Black, "Frame1"},
    {"Mainfrm6", "JXtxt", Is::Entry, "0.00", Cyan, "Frame1"},
    {"Mainfrm6", "SXcmd", Is::Button, "设置生效", Magenta, "Frame1"},
    {"Mainfrm6", "Label4", Is::Label, "点动方向:", Black, "Frame1"},
    {"Mainfrm6", "FXtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm6", "Label5", Is::Label, "(0为正装,1为反转)", Black, "Frame1"},
    {"Mainfrm6", "SX1cmd", Is::Button, "设置生效", Green, "Frame1"},
    {"Mainfrm6", "Label6", Is::Label, "回零信号:", Black, "Frame1"},
    {"Mainfrm6", "XXtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm6", "SX2cmd", Is::Button, "设置生效", SystemButton, "Frame1"},
    {"Mainfrm6", "Label7", Is::Label, "X轴调试:", Black, "Frame1"},
    {"Mainfrm6", "DDXcmd", Is::Button, "点动", Yellow, "Frame1"},
    {"Mainfrm6", "HLXcmd", Is::Button, "回零", Yellow, "Frame1"},
    {"Mainfrm6", "ZZXcmd", Is::Button, "正转", Yellow, "Frame1"},
    {"Mainfrm6", "FZXcmd", Is::Button, "反转", Yellow, "Frame1"},
    {"Mainfrm6", "Frame2", Is::Group, "Y轴调试", DarkGreen, ""},
    {"Mainfrm6", "Label8", Is::Label, "当前坐标:", Black, "Frame2"},
    {"Mainfrm6", "ZYtxt", Is::Display, "0.00", Cyan, "Frame2"},
    {"Mainfrm6", "Label9", Is::Label, "点动距离:", Black, "Frame2"},
    {"Mainfrm6", "JYtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"Mainfrm6", "SYcmd", Is::Button, "设置生效", Magenta, "Frame2"},
    {"Mainfrm6", "Label10", Is::Label, "点动方向:", Black, "Frame2"},
    {"Mainfrm6", "FYtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm6", "Label11", Is::Label, "(0为正装,1为反转)", Black, "Frame2"},
    {"Mainfrm6", "SY1cmd", Is::Button, "设置生效", Green, "Frame2"},
    {"Mainfrm6", "Label12", Is::Label, "回零信号:", Black, "Frame2"},
    {"Mainfrm6", "XYtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"Mainfrm6", "SY2cmd", Is::Button, "设置生效", SystemButton, "Frame2"},
    {"Mainfrm6", "Label13", Is::Label, "Y轴调试:", Black, "Frame2"},
    {"Mainfrm6", "DDYcmd", Is::Button, "点动", Yellow, "Frame2"},
    {"Mainfrm6", "HLYcmd", Is::Button, "回零", Yellow, "Frame2"},
    {"Mainfrm6", "ZZYcmd", Is::Button, "正转", Yellow, "Frame2"},
    {"Mainfrm6", "FZYcmd", Is::Button, "反转", Yellow, "Frame2"},
    {"Mainfrm6", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm6", "SY3cmd", Is::Button, "上一页", Pink, "Frame3"},
    {"Mainfrm6", "BCcmd", Is::Button, "返回", Pink, "Frame3"},
    {"Mainfrm6", "XY1cmd", Is::Button, "下一页", Pink, "Frame3"},
    {"Mainfrm7", "Label1", Is::Heading, "Z、C轴调试", Blue, ""},
    {"Mainfrm7", "Frame1", Is::Group, "Z轴调试", DarkGreen, ""},
    {"Mainfrm7", "Label2", Is::Label, "当前坐标:", Black, "Frame1"},
    {"Mainfrm7", "ZZtxt", Is::Display, "0.00", Cyan, "Frame1"},
    {"Mainfrm7", "Label3", Is::Label, "点动距离:", Black, "Frame1"},
    {"Mainfrm7", "JZtxt", Is::Entry, "0.00", Cyan, "Frame1"},
    {"Mainfrm7", "SZcmd", Is::Button, "设置生效", Magenta, "Frame1"},
    {"Mainfrm7", "Label4", Is::Label, "点动方向:", Black, "Frame1"},
    {"Mainfrm7", "FZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm7", "Label5", Is::Label, "(0为正装,1为反转)", Black, "Frame1"},
    {"Mainfrm7", "SZ1cmd", Is::Button, "设置生效", Green, "Frame1"},
    {"Mainfrm7", "Label6", Is::Label, "回零信号:", Black, "Frame1"},
    {"Mainfrm7", "XZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm7", "SZ2cmd", Is::Button, "设置生效", SystemButton, "Frame1"},
    {"Mainfrm7", "Label7", Is::Label, "Z轴调试:", Black, "Frame1"},
    {"Mainfrm7", "DDZcmd", Is::Button, "点动", Yellow, "Frame1"},
    {"Mainfrm7", "HLZcmd", Is::Button, "回零", Yellow, "Frame1"},
    {"Mainfrm7", "ZZZcmd", Is::Button, "正转", Yellow, "Frame1"},
    {"Mainfrm7", "FZZcmd", Is::Button, "反转", Yellow, "Frame1"},
    {"Mainfrm7", "Frame4", Is::Group, "C轴调试", DarkGreen, ""},
    {"Mainfrm7", "Label8", Is::Label, "当前坐标:", Black, "Frame4"},
    {"Mainfrm7", "ZCtxt", Is::Display, "0.00", Cyan, "Frame4"},
    {"Mainfrm7", "Label9", Is::Label, "点动距离:", Black, "Frame4"},
    {"Mainfrm7", "JCtxt", Is::Entry, "0.00", Cyan, "Frame4"},
    {"Mainfrm7", "SCcmd", Is::Button, "设置生效", Magenta, "Frame4"},
    {"Mainfrm7", "Label10", Is::Label, "点动方向:", Black, "Frame4"},
    {"Mainfrm7", "FCtxt", Is::Entry, "0", Cyan, "Frame4"},
    {"Mainfrm7", "Label11", Is::Label, "(0为正装,1为反转)", Black, "Frame4"},
    {"Mainfrm7", "SC1cmd", Is::Button, "设置生效", Green, "Frame4"},
    {"Mainfrm7", "Label12", Is::Label, "回零信号:", Black, "Frame4"},
    {"Mainfrm7", "XCtxt", Is::Entry, "0", Cyan, "Frame4"},
    {"Mainfrm7", "SC2cmd", Is::Button, "设置生效", SystemButton, "Frame4"},
    {"Mainfrm7", "Label13", Is::Label, "C轴调试:", Black, "Frame4"},
    {"Mainfrm7", "DDCcmd", Is::Button, "点动", Yellow, "Frame4"},
    {"Mainfrm7", "HLCcmd", Is::Button, "回零", Yellow, "Frame4"},
    {"Mainfrm7", "ZZCcmd", Is::Button, "正转", Yellow, "Frame4"},
    {"Mainfrm7", "FZCcmd", Is::Button, "反转", Yellow, "Frame4"},
    {"Mainfrm7", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm7", "SY4cmd", Is::Button, "上一页", Pink, "Frame3"},
    {"Mainfrm7", "BC1cmd", Is::Button, "返回", Pink, "Frame3"},
    {"Mainfrm7", "XY2cmd", Is::Button, "下一页", Pink, "Frame3"},
    {"mainfrm8", "Label1", Is::Heading, "A轴调试", Blue, ""},
    {"mainfrm8", "Frame2", Is::Group, "A轴调试", DarkGreen, ""},
    {"mainfrm8", "Label2", Is::Label, "当前坐标:", Black, "Frame2"},
    {"mainfrm8", "ZAtxt", Is::Display, "0.00", Cyan, "Frame2"},
    {"mainfrm8", "Label3", Is::Label, "点动距离:", Black, "Frame2"},
    {"mainfrm8", "JAtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"mainfrm8", "SAcmd", Is::Button, "设置生效", Magenta, "Frame2"},
    {"mainfrm8", "Label4", Is::Label, "点动方向:", Black, "Frame2"},
    {"mainfrm8", "FAtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"mainfrm8", "Label5", Is::Label, "(0为正装,1为反转)", Black, "Frame2"},
    {"mainfrm8", "SA1cmd", Is::Button, "设置生效", Green, "Frame2"},
    {"mainfrm8", "Label6", Is::Label, "回零信号:", Black, "Frame2"},
    {"mainfrm8", "XAtxt", Is::Entry, "0", Cyan, "Frame2"},
    {"mainfrm8", "SA2cmd", Is::Button, "设置生效", SystemButton, "Frame2"},
    {"mainfrm8", "Label7", Is::Label, "A轴调试:", Black, "Frame2"},
    {"mainfrm8", "DDAcmd", Is::Button, "点动", Yellow, "Frame2"},
    {"mainfrm8", "HLAcmd", Is::Button, "回零", Yellow, "Frame2"},
    {"mainfrm8", "ZZAcmd", Is::Button, "正转", Yellow, "Frame2"},
    {"mainfrm8", "FZAcmd", Is::Button, "反转", Yellow, "Frame2"},
    {"mainfrm8", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"mainfrm8", "List1", Is::List, "", Cyan, "Frame5"},
    {"mainfrm8", "Frame3", Is::Group, "", Black, ""},
    {"mainfrm8", "SY5cmd", Is::Button, "上一页", Pink, "Frame3"},
    {"mainfrm8", "BC2cmd", Is::Button, "返回", Pink, "Frame3"},
    {"mainfrm8", "XY3cmd", Is::Button, "下一页", Pink, "Frame3"},
    {"Mainfrm9", "Label1", Is::Heading, "外部输入信号(L1-L13)测试", Blue, ""},
    {"Mainfrm9", "Frame1", Is::Group, "13个输入点，平时显示A，按下面测试按钮，若输入无效，显示OF，若输入有效，显示ON", Black, ""},
    {"Mainfrm9", "Label2", Is::Label, "1:", Black, "Frame1"},
    {"Mainfrm9", "YN1txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label3", Is::Label, "2:", Black, "Frame1"},
    {"Mainfrm9", "YN2txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label4", Is::Label, "3:", Black, "Frame1"},
    {"Mainfrm9", "YN3txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label5", Is::Label, "4:", Black, "Frame1"},
    {"Mainfrm9", "YN4txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label6", Is::Label, "5:", Black, "Frame1"},
    {"Mainfrm9", "YN5txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label7", Is::Label, "6:", Black, "Frame1"},
    {"Mainfrm9", "YN6txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label8", Is::Label, "7:", Black, "Frame1"},
    {"Mainfrm9", "YN7txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label9", Is::Label, "8:", Black, "Frame1"},
    {"Mainfrm9", "YN8txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label10", Is::Label, "9:", Black, "Frame1"},
    {"Mainfrm9", "YN9txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label11", Is::Label, "10:", Black, "Frame1"},
    {"Mainfrm9", "YN10txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label12", Is::Label, "11:", Black, "Frame1"},
    {"Mainfrm9", "YN11txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label13", Is::Label, "12:", Black, "Frame1"},
    {"Mainfrm9", "YN12txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "Label14", Is::Label, "13:", Black, "Frame1"},
    {"Mainfrm9", "YN13txt", Is::Display, "A", Red, "Frame1"},
    {"Mainfrm9", "SDcmd", Is::Button, "确定测试", SystemButton, ""},
    {"Mainfrm9", "BAcmd", Is::Button, "返 回", SystemButton, ""},
    {"Mainfrm10", "Label1", Is::Heading, "12路外部输出测试", Black, ""},
    {"Mainfrm10", "Frame1", Is::Group, "设定输出信号Y1-Y12，0-ON,1-OF", Black, ""},
    {"Mainfrm10", "Label2", Is::Label, "Y", Black, "Frame1"},
    {"Mainfrm10", "SCtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm10", "Label3", Is::Label, "输出：Y1-Y12", Black, "Frame1"},
    {"Mainfrm10", "DMtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm10", "YNtxt", Is::Display, "ON", Red, "Frame1"},
    {"Mainfrm10", "Label4", Is::Label, "设定：0或1", Black, "Frame1"},
    {"Mainfrm10", "SDcmd", Is::Button, "确定测试", SystemButton, ""},
    {"Mainfrm10", "BAcmd", Is::Button, "返 回", SystemButton, ""},
    {"Mainfrm10", "Frame3", Is::Group, "使用说明", Red, ""},
    {"Mainfrm10", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm11", "Label1", Is::Heading, "X\\Y\\Z\\C\\A手动测试", Blue, ""},
    {"Mainfrm11", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm11", "XZcmd", Is::Button, "X正转", Green, "Frame1"},
    {"Mainfrm11", "XFcmd", Is::Button, "X反转", Green, "Frame1"},
    {"Mainfrm11", "YZcmd", Is::Button, "Y正转", Green, "Frame1"},
    {"Mainfrm11", "YFcmd", Is::Button, "Y反转", Green, "Frame1"},
    {"Mainfrm11", "ZZcmd", Is::Button, "Z正转", Green, "Frame1"},
    {"Mainfrm11", "ZFcmd", Is::Button, "Z反转", Green, "Frame1"},
    {"Mainfrm11", "CZcmd", Is::Button, "C正转", Green, "Frame1"},
    {"Mainfrm11", "CFcmd", Is::Button, "C反转", Green, "Frame1"},
    {"Mainfrm11", "AZcmd", Is::Button, "A正转", Green, "Frame1"},
    {"Mainfrm11", "AFcmd", Is::Button, "A反转", Green, "Frame1"},
    {"Mainfrm11", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm11", "SY5cmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm11", "BA3cmd", Is::Button, "返 回", SystemButton, "Frame2"},
    {"Mainfrm12", "Label1", Is::Heading, "可保存10个工程--(每个工程可设50步)", Blue, ""},
    {"Mainfrm12", "Frame1", Is::Group, "工程参数设置", Black, ""},
    {"Mainfrm12", "PRtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm12", "Label2", Is::Label, "号工程", Black, "Frame1"},
    {"Mainfrm12", "SUcmd", Is::Button, "设置工程号", SystemButton, "Frame1"},
    {"Mainfrm12", "Frame2", Is::Group, "工程参数读取及清零", Black, ""},
    {"Mainfrm12", "PR1txt", Is::Display, "0", Cyan, "Frame2"},
    {"Mainfrm12", "Label3", Is::Label, "号工程", Black, "Frame2"},
    {"Mainfrm12", "DQcmd", Is::Button, "读取工程参数", SystemButton, "Frame2"},
    {"Mainfrm12", "QLcmd", Is::Button, "工程参数清零", SystemButton, "Frame2"},
    {"Mainfrm12", "DQtxt", Is::Display, "", Red, "Frame2"},
    {"Mainfrm12", "Label5", Is::Label, "参数检测显示", Yellow, "Frame2"},
    {"Mainfrm12", "CStxt", Is::Display, "0", Cyan, "Frame2"},
    {"Mainfrm12", "Frame4", Is::Group, "设定工程步数", Black, ""},
    {"Mainfrm12", "PR2txt", Is::Display, "0", Cyan, "Frame4"},
    {"Mainfrm12", "Label4", Is::Label, "号工程设定的步数:", Black, "Frame4"},
    {"Mainfrm12", "BStxt", Is::Entry, "0", Cyan, "Frame4"},
    {"Mainfrm12", "SAcmd", Is::Button, "设 置", SystemButton, "Frame4"},
    {"Mainfrm12", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm12", "SYcmd", Is::Button, "返回主界面", Green, "Frame3"},
    {"Mainfrm12", "Command1", Is::Button, "工程整体保存", Yellow, "Frame3"},
    {"Mainfrm12", "XYcmd", Is::Button, "每步设定", SystemButton, "Frame3"},
    {"Mainfrm12", "LJcmd", Is::Button, "路径预览", SystemButton, "Frame3"},
    {"Mainfrm12", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm12", "List1", Is::List, "", Cyan, "Frame5"},
    {"Mainfrm13", "Label10", Is::Heading, "设定工程每步功能", Blue, ""},
    {"Mainfrm13", "Frame4", Is::Group, "", Black, ""},
    {"Mainfrm13", "GClel", Is::Label, "00", Blue, "Frame4"},
    {"Mainfrm13", "Label2", Is::Label, "号工程第", Black, "Frame4"},
    {"Mainfrm13", "BUtxt", Is::Entry, "0", Cyan, "Frame4"},
    {"Mainfrm13", "Label3", Is::Label, "步", Black, "Frame4"},
    {"Mainfrm13", "SD1cmd", Is::Button, "设定生效", Green, "Frame4"},
    {"Mainfrm13", "SBcmd", Is::Button, "上步", Yellow, "Frame4"},
    {"Mainfrm13", "XBcmd", Is::Button, "下步", Yellow, "Frame4"},
    {"Mainfrm13", "Label4", Is::Label, "设定延时", Black, "Frame4"},
    {"Mainfrm13", "YStxt", Is::Entry, "0", Cyan, "Frame4"},
    {"Mainfrm13", "Label1", Is::Label, "ms", Black, "Frame4"},
    {"Mainfrm13", "Label5", Is::Label, "后启动本步", Black, "Frame4"},
    {"Mainfrm13", "SD2cmd", Is::Button, "设定生效", Green, "Frame4"},
    {"Mainfrm13", "Frame1", Is::Group, "选择该步功能", Black, ""},
    {"Mainfrm13", "SJcmd", Is::Button, "示 教", Yellow, "Frame1"},
    {"Mainfrm13", "Frame3", Is::Group, "", Black, "Frame1", Orange},
    {"Mainfrm13", "Label6", Is::Label, "", Blue, "Frame3"},
    {"Mainfrm13", "Label7", Is::Label, "", Blue, "Frame3"},
    {"Mainfrm13", "Label8", Is::Label, "", Blue, "Frame3"},
    {"Mainfrm13", "Label9", Is::Label, "", Blue, "Frame3"},
    {"Mainfrm13", "JScmd", Is::Button, "进入示教", Yellow, "Frame1"},
    {"Mainfrm13", "YHcmd", Is::Button, "圆 弧", Yellow, "Frame1"},
    {"Mainfrm13", "JYcmd", Is::Button, "进入圆弧", Yellow, "Frame1"},
    {"Mainfrm13", "ZXcmd", Is::Button, "直 线", Yellow, "Frame1"},
    {"Mainfrm13", "JZcmd", Is::Button, "进入直线", Yellow, "Frame1"},
    {"Mainfrm13", "PTcmd", Is::Button, "普 通", Yellow, "Frame1"},
    {"Mainfrm13", "JPcmd", Is::Button, "进入普通", Yellow, "Frame1"},
    {"Mainfrm13", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm13", "SY6cmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm13", "BC5cmd", Is::Button, "返回主页", SystemButton, "Frame2"},
    {"Mainfrm13", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm13", "List1", Is::List, "", Cyan, "Frame5"},
    {"Mainfrm14", "Label10", Is::Heading, "设定画圆弧", Blue, ""},
    {"Mainfrm14", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm14", "Label1", Is::Label, "若L", Black, "Frame3"},
    {"Mainfrm14", "RLtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm14", "Label2", Is::Label, "有效画圆弧", Black, "Frame3"},
    {"Mainfrm14", "YHtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm14", "QDtxt", Is::Display, "启动", Red, "Frame3"},
    {"Mainfrm14", "Frame2", Is::Group, "视当前坐标位置为(0,0)", Black, ""},
    {"Mainfrm14", "Label4", Is::Label, "圆心", Black, "Frame2"},
    {"Mainfrm14", "YNtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"Mainfrm14", "Label5", Is::Label, "mm", Black, "Frame2"},
    {"Mainfrm14", "XNtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"Mainfrm14", "Label6", Is::Label, "mm", Black, "Frame2"},
    {"Mainfrm14", "Label7", Is::Label, "终点", Black, "Frame2"},
    {"Mainfrm14", "ZGtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"Mainfrm14", "Label8", Is::Label, "mm", Black, "Frame2"},
    {"Mainfrm14", "DNtxt", Is::Entry, "0.00", Cyan, "Frame2"},
    {"Mainfrm14", "Label9", Is::Label, "mm", Black, "Frame2"},
    {"Mainfrm14", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm14", "SHcmd", Is::Button, "顺", SystemButton, "Frame1"},
    {"Mainfrm14", "NYtxt", Is::Display, "逆圆弧", Red, "Frame1"},
    {"Mainfrm14", "NIcmd", Is::Button, "逆", SystemButton, "Frame1"},
    {"Mainfrm14", "XYtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm14", "XItxt", Is::Display, "小于360", Red, "Frame1"},
    {"Mainfrm14", "Label12", Is::Label, "运行速度:", Black, "Frame1"},
    {"Mainfrm14", "SD6txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm14", "Label13", Is::Label, "RPM", Black, "Frame1"},
    {"Mainfrm14", "Label11", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm14", "BStxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm14", "Label3", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm14", "Frame4", Is::Group, "", Black, ""},
    {"Mainfrm14", "SY15cmd", Is::Button, "返 回", SystemButton, "Frame4"},
    {"Mainfrm14", "SAcmd", Is::Button, "下载并设定数据", SystemButton, "Frame4"},
    {"Mainfrm14", "FZcmd", Is::Button, "下一页", SystemButton, "Frame4"},
    {"Mainfrm14", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm14", "List1", Is::List, "", Cyan, "Frame5"},
    {"Mainfrm14", "Picture1", Is::Picture, "", 0, "Frame5"},
    {"Mainfrm15", "Label1", Is::Heading, "设定画直线", Blue, ""},
    {"Mainfrm15", "Frame1", Is::Group, "视当前坐标位置为(0,0)", Black, ""},
    {"Mainfrm15", "Label2", Is::Label, "若L", Black, "Frame1"},
    {"Mainfrm15", "RLtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm15", "Label3", Is::Label, "有效画直线", Black, "Frame1"},
    {"Mainfrm15", "ZXtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm15", "QDtxt", Is::Display, "启动", Red, "Frame1"},
    {"Mainfrm15", "Label4", Is::Label, "终点", Black, "Frame1"},
    {"Mainfrm15", "ZGtxt", Is::Entry, "0.00", Cyan, "Frame1"},
    {"Mainfrm15", "Label5", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm15", "DNtxt", Is::Entry, "0.00", Cyan, "Frame1"},
    {"Mainfrm15", "Label6", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm15", "Label7", Is::Label, "速度", Black, "Frame1"},
    {"Mainfrm15", "SDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm15", "Label8", Is::Label, "RPM", Black, "Frame1"},
    {"Mainfrm15", "Label10", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm15", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm15", "Label9", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm15", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm15", "SY16cmd", Is::Button, "返 回", SystemButton, "Frame2"},
    {"Mainfrm15", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm15", "FZcmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm15", "Frame3", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm15", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm15", "Picture1", Is::Picture, "", 0, "Frame3"},
    {"Mainfrm16", "Label1", Is::Heading, "设定示教功能", Blue, ""},
    {"Mainfrm16", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm16", "GC1lel", Is::Label, "00", Blue, "Frame1"},
    {"Mainfrm16", "Label2", Is::Label, "号工程第", Black, "Frame1"},
    {"Mainfrm16", "BU6txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm16", "Label3", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm16", "XZcmd", Is::Button, "下载数据", Yellow, "Frame1"},
    {"Mainfrm16", "SB2cmd", Is::Button, "上步", Yellow, "Frame1"},
    {"Mainfrm16", "XB2cmd", Is::Button, "下步", Yellow, "Frame1"},
    {"Mainfrm16", "Frame2", Is::Group, "", Black, "", White},
    {"Mainfrm16", "XZ2lel", Is::Label, "X轴开启示教功能,关闭普通", Black, "Frame2", White},
    {"Mainfrm16", "YZ2lel", Is::Label, "Y轴开启示教功能,关闭普通", Black, "Frame2", White},
    {"Mainfrm16", "ZZ2lel", Is::Label, "Z轴开启示教功能,关闭普通", Black, "Frame2", White},
    {"Mainfrm16", "CZ2lel", Is::Label, "C轴开启示教功能,关闭普通", Black, "Frame2", White},
    {"Mainfrm16", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm16", "KGcmd", Is::Button, "开/关", Yellow, "Frame3"},
    {"Mainfrm16", "Label8", Is::Label, "速度", Black, "Frame3"},
    {"Mainfrm16", "SUtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "DUtxt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "ZHcmd", Is::Button, "正", Yellow, "Frame3"},
    {"Mainfrm16", "FAcmd", Is::Button, "反", Yellow, "Frame3"},
    {"Mainfrm16", "KG1cmd", Is::Button, "开/关", Yellow, "Frame3"},
    {"Mainfrm16", "Label9", Is::Label, "速度", Black, "Frame3"},
    {"Mainfrm16", "SU1txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "DU1txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "ZH1cmd", Is::Button, "正", Yellow, "Frame3"},
    {"Mainfrm16", "FA1cmd", Is::Button, "反", Yellow, "Frame3"},
    {"Mainfrm16", "KG2cmd", Is::Button, "开/关", Yellow, "Frame3"},
    {"Mainfrm16", "Label10", Is::Label, "速度", Black, "Frame3"},
    {"Mainfrm16", "SU2txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "DU2txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "ZH2cmd", Is::Button, "正", Yellow, "Frame3"},
    {"Mainfrm16", "FA2cmd", Is::Button, "反", Yellow, "Frame3"},
    {"Mainfrm16", "KG3cmd", Is::Button, "开/关", Yellow, "Frame3"},
    {"Mainfrm16", "Label11", Is::Label, "速度", Black, "Frame3"},
    {"Mainfrm16", "SU3txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "DU3txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm16", "ZH3cmd", Is::Button, "正", Yellow, "Frame3"},
    {"Mainfrm16", "FA3cmd", Is::Button, "反", Yellow, "Frame3"},
    {"Mainfrm16", "SUcmd", Is::Button, "确 定", Yellow, "Frame3"},
    {"Mainfrm16", "ZDcmd", Is::Button, "自动配", Yellow, "Frame3"},
    {"Mainfrm16", "XZ1cmd", Is::Button, "下载数据", Yellow, "Frame3"},
    {"Mainfrm16", "Frame4", Is::Group, "", Black, ""},
    {"Mainfrm16", "SY10cmd", Is::Button, "上一页", SystemButton, "Frame4"},
    {"Mainfrm16", "FZ3cmd", Is::Button, "返回主页", SystemButton, "Frame4"},
    {"Mainfrm16", "FG3cmd", Is::Button, "返回工程首页", SystemButton, "Frame4"},
    {"Mainfrm16", "BU5txt", Is::Display, "0", Cyan, "Frame4"},
    {"Mainfrm16", "Label12", Is::Label, "步", Black, "Frame4"},
    {"Mainfrm16", "Frame5", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm16", "List1", Is::List, "", Cyan, "Frame5"},
    {"Mainfrm17", "Label9", Is::Heading, "X轴普通功能设置", Blue, ""},
    {"Mainfrm17", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm17", "Label1", Is::Label, "若输入L", Black, "Frame1"},
    {"Mainfrm17", "SRtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "Label2", Is::Label, "有效X轴电机", Black, "Frame1"},
    {"Mainfrm17", "Label11", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm17", "XZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "YXtxt", Is::Display, "运行", Red, "Frame1"},
    {"Mainfrm17", "Label3", Is::Label, "X轴运行模式", Black, "Frame1"},
    {"Mainfrm17", "Label12", Is::Label, "(0,1,2,3)", Yellow, "Frame1"},
    {"Mainfrm17", "XDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "BCtxt", Is::Display, "保持不动", Red, "Frame1"},
    {"Mainfrm17", "Label13", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm17", "XJtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "ZZtxt", Is::Display, "正转", Red, "Frame1"},
    {"Mainfrm17", "Label14", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm17", "ZBtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "DZtxt", Is::Display, "相对距离", Red, "Frame1"},
    {"Mainfrm17", "Label4", Is::Label, "速度:", Black, "Frame1"},
    {"Mainfrm17", "SDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "Label5", Is::Label, "PRM", Black, "Frame1"},
    {"Mainfrm17", "Label6", Is::Label, "X运行距离:", Black, "Frame1"},
    {"Mainfrm17", "XYtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm17", "Label7", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm17", "Label10", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm17", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm17", "Label8", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm17", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm17", "SY17cmd", Is::Button, "返 回", SystemButton, "Frame2"},
    {"Mainfrm17", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm17", "XY17cmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm17", "Frame3", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm17", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm18", "Label9", Is::Heading, "Y轴普通功能设置", Blue, ""},
    {"Mainfrm18", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm18", "Label1", Is::Label, "若输入L", Black, "Frame1"},
    {"Mainfrm18", "SRtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "Label2", Is::Label, "有效Y轴电机", Black, "Frame1"},
    {"Mainfrm18", "Label11", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm18", "XZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "YXtxt", Is::Display, "运行", Red, "Frame1"},
    {"Mainfrm18", "Label3", Is::Label, "Y轴运行模式", Black, "Frame1"},
    {"Mainfrm18", "Label12", Is::Label, "(0,1,2,3)", Yellow, "Frame1"},
    {"Mainfrm18", "XDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "BCtxt", Is::Display, "保持不动", Red, "Frame1"},
    {"Mainfrm18", "Label13", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm18", "XJtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "ZZtxt", Is::Display, "正转", Red, "Frame1"},
    {"Mainfrm18", "Label14", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm18", "ZBtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "DZtxt", Is::Display, "相对距离", Red, "Frame1"},
    {"Mainfrm18", "Label4", Is::Label, "速度:", Black, "Frame1"},
    {"Mainfrm18", "SDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "Label5", Is::Label, "PRM", Black, "Frame1"},
    {"Mainfrm18", "Label6", Is::Label, "Y运行距离:", Black, "Frame1"},
    {"Mainfrm18", "XYtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm18", "Label7", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm18", "Label10", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm18", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm18", "Label8", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm18", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm18", "SY18cmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm18", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm18", "XY18cmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm18", "Frame3", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm18", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm19", "Label9", Is::Heading, "C轴普通功能设置", Blue, ""},
    {"Mainfrm19", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm19", "Label1", Is::Label, "若输入L", Black, "Frame1"},
    {"Mainfrm19", "SRtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "Label2", Is::Label, "有效C轴电机", Black, "Frame1"},
    {"Mainfrm19", "Label11", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm19", "XZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "YXtxt", Is::Display, "运行", Red, "Frame1"},
    {"Mainfrm19", "Label3", Is::Label, "C轴运行模式", Black, "Frame1"},
    {"Mainfrm19", "Label12", Is::Label, "(0,1,2,3)", Yellow, "Frame1"},
    {"Mainfrm19", "XDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "BCtxt", Is::Display, "保持不动", Red, "Frame1"},
    {"Mainfrm19", "Label13", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm19", "XJtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "ZZtxt", Is::Display, "正转", Red, "Frame1"},
    {"Mainfrm19", "Label14", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm19", "ZBtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "DZtxt", Is::Display, "相对距离", Red, "Frame1"},
    {"Mainfrm19", "Label4", Is::Label, "速度:", Black, "Frame1"},
    {"Mainfrm19", "SDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "Label5", Is::Label, "PRM", Black, "Frame1"},
    {"Mainfrm19", "Label6", Is::Label, "C运行距离:", Black, "Frame1"},
    {"Mainfrm19", "XYtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm19", "Label7", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm19", "Label10", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm19", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm19", "Label8", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm19", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm19", "SY19cmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm19", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm19", "XY19cmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm19", "Frame3", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm19", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm20", "Label9", Is::Heading, "Z轴普通功能设置", Blue, ""},
    {"Mainfrm20", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm20", "Label1", Is::Label, "若输入L", Black, "Frame1"},
    {"Mainfrm20", "SRtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "Label2", Is::Label, "有效Z轴电机", Black, "Frame1"},
    {"Mainfrm20", "Label11", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm20", "XZtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "YXtxt", Is::Display, "运行", Red, "Frame1"},
    {"Mainfrm20", "Label3", Is::Label, "Z轴运行模式", Black, "Frame1"},
    {"Mainfrm20", "Label12", Is::Label, "(0,1,2,3)", Yellow, "Frame1"},
    {"Mainfrm20", "XDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "BCtxt", Is::Display, "保持不动", Red, "Frame1"},
    {"Mainfrm20", "Label13", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm20", "XJtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "ZZtxt", Is::Display, "正转", Red, "Frame1"},
    {"Mainfrm20", "Label14", Is::Label, "(0,1)", Yellow, "Frame1"},
    {"Mainfrm20", "ZBtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "DZtxt", Is::Display, "相对距离", Red, "Frame1"},
    {"Mainfrm20", "Label4", Is::Label, "速度:", Black, "Frame1"},
    {"Mainfrm20", "SDtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "Label5", Is::Label, "PRM", Black, "Frame1"},
    {"Mainfrm20", "Label6", Is::Label, "Z运行距离:", Black, "Frame1"},
    {"Mainfrm20", "XYtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "Label7", Is::Label, "mm", Black, "Frame1"},
    {"Mainfrm20", "Label15", Is::Label, "是否将Z轴替换为A轴", Yellow, "Frame1"},
    {"Mainfrm20", "SHtxt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm20", "FOtxt", Is::Display, "否", Red, "Frame1"},
    {"Mainfrm20", "Label16", Is::Label, "(0否 1是,Z轴与A轴无法同时工作)", Black, "Frame1"},
    {"Mainfrm20", "Label10", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm20", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm20", "Label8", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm20", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm20", "SY20cmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm20", "SS20cmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm20", "XY20cmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm20", "Frame3", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm20", "List1", Is::List, "", Cyan, "Frame3"},
    {"Mainfrm21", "Label1", Is::Heading, "三组直接输出控制设定", Blue, ""},
    {"Mainfrm21", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm21", "Label2", Is::Label, "一:", Black, "Frame1"},
    {"Mainfrm21", "Label3", Is::Label, "Y", Black, "Frame1"},
    {"Mainfrm21", "Y1txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label11", Is::Label, "ON", Yellow, "Frame1", Blue},
    {"Mainfrm21", "S1txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label4", Is::Label, "二:", Black, "Frame1"},
    {"Mainfrm21", "Label5", Is::Label, "Y", Black, "Frame1"},
    {"Mainfrm21", "Y2txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label12", Is::Label, "ON", Yellow, "Frame1", Blue},
    {"Mainfrm21", "S2txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label6", Is::Label, "三:", Black, "Frame1"},
    {"Mainfrm21", "Label7", Is::Label, "Y", Black, "Frame1"},
    {"Mainfrm21", "Y3txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label13", Is::Label, "ON", Yellow, "Frame1", Blue},
    {"Mainfrm21", "S3txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label9", Is::Label, "四:", Black, "Frame1"},
    {"Mainfrm21", "Label8", Is::Label, "Y", Black, "Frame1"},
    {"Mainfrm21", "Y4txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label14", Is::Label, "ON", Yellow, "Frame1", Blue},
    {"Mainfrm21", "S4txt", Is::Entry, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label29", Is::Label, "当前为第", Black, "Frame1"},
    {"Mainfrm21", "BUtxt", Is::Display, "0", Cyan, "Frame1"},
    {"Mainfrm21", "Label10", Is::Label, "步", Black, "Frame1"},
    {"Mainfrm21", "Frame2", Is::Group, "", Black, ""},
    {"Mainfrm21", "SYcmd", Is::Button, "上一页", SystemButton, "Frame2"},
    {"Mainfrm21", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame2"},
    {"Mainfrm21", "XYcmd", Is::Button, "下一页", SystemButton, "Frame2"},
    {"Mainfrm21", "Frame8", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm21", "List1", Is::List, "", Cyan, "Frame8"},
    {"Mainfrm22", "Label25", Is::Heading, "三组获取输入后输出设定", Blue, ""},
    {"Mainfrm22", "Frame3", Is::Group, "", Black, ""},
    {"Mainfrm22", "Label24", Is::Label, "若L", Black, "Frame3"},
    {"Mainfrm22", "R1txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label3", Is::Label, "ON输出Y", Yellow, "Frame3", Blue},
    {"Mainfrm22", "L1txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label23", Is::Label, "输出Y", Black, "Frame3"},
    {"Mainfrm22", "S4txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label11", Is::Label, "ON", Yellow, "Frame3", Blue},
    {"Mainfrm22", "Y4txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label22", Is::Label, "若L", Black, "Frame3"},
    {"Mainfrm22", "R2txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label4", Is::Label, "ON输出Y", Yellow, "Frame3", Blue},
    {"Mainfrm22", "L2txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label21", Is::Label, "输出Y", Black, "Frame3"},
    {"Mainfrm22", "S5txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label1", Is::Label, "ON", Yellow, "Frame3", Blue},
    {"Mainfrm22", "Y5txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label20", Is::Label, "若L", Black, "Frame3"},
    {"Mainfrm22", "R3txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label5", Is::Label, "ON输出Y", Yellow, "Frame3", Blue},
    {"Mainfrm22", "L3txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label19", Is::Label, "输出Y", Black, "Frame3"},
    {"Mainfrm22", "S6txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label2", Is::Label, "ON", Yellow, "Frame3", Blue},
    {"Mainfrm22", "Y6txt", Is::Entry, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label29", Is::Label, "当前为第", Black, "Frame3"},
    {"Mainfrm22", "BUtxt", Is::Display, "0", Cyan, "Frame3"},
    {"Mainfrm22", "Label10", Is::Label, "步", Black, "Frame3"},
    {"Mainfrm22", "Frame1", Is::Group, "", Black, ""},
    {"Mainfrm22", "SYcmd", Is::Button, "上一页", SystemButton, "Frame1"},
    {"Mainfrm22", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame1"},
    {"Mainfrm22", "XYcmd", Is::Button, "下一页", SystemButton, "Frame1"},
    {"Mainfrm22", "Frame8", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm22", "List1", Is::List, "", Cyan, "Frame8"},
    {"Mainfrm23", "Label11", Is::Heading, "设定工程步骤", Blue, ""},
    {"Mainfrm23", "Frame5", Is::Group, "", Black, ""},
    {"Mainfrm23", "Label12", Is::Label, "从第", Black, "Frame5"},
    {"Mainfrm23", "CDtxt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label13", Is::Label, "到第", Black, "Frame5"},
    {"Mainfrm23", "DDtxt", Is::Display, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label14", Is::Label, "步循环", Black, "Frame5"},
    {"Mainfrm23", "XHtxt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label15", Is::Label, "次", Black, "Frame5"},
    {"Mainfrm23", "Label16", Is::Label, "所有各步速度降为:", Black, "Frame5"},
    {"Mainfrm23", "JWtxt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label17", Is::Label, "%", Black, "Frame5"},
    {"Mainfrm23", "Label8", Is::Label, "本步运行完延时", Black, "Frame5"},
    {"Mainfrm23", "YStxt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label9", Is::Label, "ms", Black, "Frame5"},
    {"Mainfrm23", "Label27", Is::Label, "本工程循环:", Black, "Frame5"},
    {"Mainfrm23", "XH1txt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "SFtxt", Is::Display, "是", Red, "Frame5"},
    {"Mainfrm23", "Label18", Is::Label, "本工程结束后自动运行", Black, "Frame5"},
    {"Mainfrm23", "ZDtxt", Is::Entry, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label28", Is::Label, "工程", Black, "Frame5"},
    {"Mainfrm23", "Label1", Is::Label, "(工程循环设置为否有效)", Black, "Frame5"},
    {"Mainfrm23", "Label29", Is::Label, "当前为第", Black, "Frame5"},
    {"Mainfrm23", "BUtxt", Is::Display, "0", Cyan, "Frame5"},
    {"Mainfrm23", "Label10", Is::Label, "步", Black, "Frame5"},
    {"Mainfrm23", "JHtxt", Is::Display, "0", Cyan, "Frame5", Panel, State::Hidden},
    {"Mainfrm23", "Frame7", Is::Group, "", Black, ""},
    {"Mainfrm23", "SYcmd", Is::Button, "上一页", SystemButton, "Frame7"},
    {"Mainfrm23", "SScmd", Is::Button, "下载并设定数据", SystemButton, "Frame7"},
    {"Mainfrm23", "BCcmd", Is::Button, "返 回", SystemButton, "Frame7"},
    {"Mainfrm23", "Frame8", Is::Group, "本界面操作说明", Red, ""},
    {"Mainfrm23", "List1", Is::List, "", Cyan, "Frame8"},
    {"Mainfrm24", "Frame1", Is::Group, "Lorvane V2.0", Black, ""},
    {"Mainfrm24", "BAcmd", Is::Button, "返回", Green, "Frame1"},
    {"Mainfrm24", "EXcmd", Is::Button, "退出", Green, "Frame1"},
    {"Mainfrm24", "Image1", Is::Picture, "", 0, "Frame1"},
};
// clang-format on

// ---- What a built window shows ---------------------------------------------------------------

struct Seen {
  Is kind = Is::Label;
  QString caption;
  QColor colour;
  QString group;
  QColor background = bgr(Panel);
  State state = State::Usual;
};

// A colour its style sheet gives it: "background-color", or the text's "color".
QColor sheetColour(const QWidget* w, const QString& property) {
  const QRegularExpression re(QStringLiteral("(?:^|[{;\\s])%1:\\s*(#[0-9a-fA-F]{6})").arg(property));
  const auto m = re.match(w->styleSheet());
  return m.hasMatch() ? QColor(m.captured(1)) : QColor();
}

bool isHeading(const QLabel* l) {
  return l->font().bold() && l->font().pointSizeF() >= 1.5 * QApplication::font().pointSizeF();
}

std::optional<Seen> see(const QWidget* w) {
  Seen s;
  s.group = groupOf(w);
  if (auto* b = qobject_cast<const CmdButton*>(w)) {
    s.kind = Is::Button;
    s.caption = b->text();
    s.colour = bgr(b->shownColour());
  } else if (auto* f = qobject_cast<const ValueField*>(w)) {
    s.kind = f->isEntry() ? Is::Entry : Is::Display;
    s.caption = f->text();
    s.colour = sheetColour(f, QStringLiteral("background-color"));
  } else if (auto* l = qobject_cast<const QLabel*>(w)) {
    s.kind = isHeading(l) ? Is::Heading : Is::Label;
    s.caption = l->text();
    s.colour = l->palette().color(QPalette::WindowText);
    s.background = l->palette().color(QPalette::Window);
  } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
    s.kind = Is::Group;
    s.caption = g->title();
    s.colour = sheetColour(g, QStringLiteral("color"));
    s.background = sheetColour(g, QStringLiteral("background-color"));
  } else if (auto* list = qobject_cast<const QListWidget*>(w)) {
    s.kind = Is::List;
    s.colour = list->palette().color(QPalette::Base);
  } else if (qobject_cast<const QSvgWidget*>(w)) {
    s.kind = Is::Picture;
  } else if (qobject_cast<const QComboBox*>(w)) {
    s.kind = Is::PortList;
  } else {
    return std::nullopt;
  }
  const bool hidden = w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
  if (hidden) s.state = State::Hidden;
  else if (!w->isEnabled() && s.kind != Is::Display) s.state = State::Disabled;
  return s;
}

// The controls of a window by name: every widget it names itself, Qt's own parts left out.
QMap<QString, const QWidget*> controlsOf(const Form& form) {
  QMap<QString, const QWidget*> found;
  for (const QWidget* w : form.findChildren<QWidget*>()) {
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || w->isWindow()) continue;
    if (qobject_cast<const QListWidget*>(w->parentWidget()) || qobject_cast<const QComboBox*>(w->parentWidget()))
      continue;
    found.insert(name, w);
  }
  return found;
}

const char* kindName(Is k) {
  static const char* const names[] = {"Label", "Heading", "Entry", "Display", "Button", "Group", "List", "Picture", "PortList"};
  return names[static_cast<int>(k)];
}

std::string describe(const Seen& s) {
  return QStringLiteral("%1 \"%2\" %3 in \"%4\" on %5 state %6")
      .arg(QString::fromLatin1(kindName(s.kind)), s.caption, s.colour.name(), s.group, s.background.name())
      .arg(static_cast<int>(s.state))
      .toStdString();
}

std::unique_ptr<Form> build(const shell::ScreenMap& map, const QString& name) { return std::unique_ptr<Form>(map.build(name)); }

TEST(ControlTables, EveryControlOfEveryWindowAsTheTableGivesIt) {
  shell::ScreenMap map;
  shell::addStandardScreens(map);
  ASSERT_EQ(map.screenNames().size(), 24);
  QMap<QString, QMap<QString, const Row*>> table;
  for (const Row& r : kTable) {
    const QString form = QString::fromLatin1(r.form), name = QString::fromLatin1(r.name);
    EXPECT_FALSE(table[form].contains(name)) << "listed twice: " << r.form << " " << r.name;
    table[form].insert(name, &r);
  }
  EXPECT_EQ(table.keys(), [&] {
    QStringList names = map.screenNames();
    names.sort();
    return names;
  }());
  for (const QString& formName : map.screenNames()) {
    const std::unique_ptr<Form> form = build(map, formName);
    ASSERT_NE(form, nullptr) << formName.toStdString();
    EXPECT_EQ(form->windowTitle(), formName == "Mainfrm24" ? "Lorvane接线图" : "Lorvane") << formName.toStdString();
    const QMap<QString, const QWidget*> controls = controlsOf(*form);
    const QMap<QString, const Row*>& rows = table.value(formName);
    for (auto it = rows.begin(); it != rows.end(); ++it) {
      const Row& r = *it.value();
      const std::string where = formName.toStdString() + " " + r.name;
      const QWidget* w = controls.value(it.key());
      if (!w) {
        ADD_FAILURE() << "missing: " << where;
        continue;
      }
      const std::optional<Seen> s = see(w);
      ASSERT_TRUE(s.has_value()) << where << " is a " << w->metaObject()->className();
      EXPECT_EQ(s->kind, r.kind) << where << ": " << describe(*s);
      EXPECT_EQ(s->caption, QString::fromUtf8(r.caption)) << where;
      EXPECT_EQ(s->group, QString::fromLatin1(r.group)) << where;
      EXPECT_EQ(s->state, r.state) << where;
      if (r.kind != Is::Picture && r.kind != Is::PortList) {
        EXPECT_EQ(s->colour.name().toStdString(), bgr(r.colour).name().toStdString()) << where;
      }
      if (r.kind == Is::Label || r.kind == Is::Heading || r.kind == Is::Group) {
        EXPECT_EQ(s->background.name().toStdString(), bgr(r.background).name().toStdString()) << where;
      }
    }
    for (auto it = controls.begin(); it != controls.end(); ++it)
      if (!rows.contains(it.key()))
        ADD_FAILURE() << "not in the table: " << formName.toStdString() << " " << it.key().toStdString() << ": "
                      << (see(it.value()) ? describe(*see(it.value())) : it.value()->metaObject()->className());
  }
}

}  // namespace
