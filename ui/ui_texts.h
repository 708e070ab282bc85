#pragma once

#include "core/text_ops.h"

// Every text the user sees, in one place. This file is UTF-8; the targets that
// include it compile with -finput-charset=UTF-8 -fexec-charset=GBK, so each
// literal below is the GBK byte string that the ANSI window functions take.

// The publisher's page: handed to the shell once per run, and its host name
// stands in the window title.
inline constexpr char publisherWebAddress[] = "https://example.com/";

// The title: this text, then the host of publisherWebAddress in ASCII
// parentheses (mainWindowTitle builds it).
inline constexpr char windowTitlePrefix[] = "网站黑名单";

inline constexpr char label1Text[] = "以下网址禁止打开：";
inline constexpr char label2Text[] = "新加入的网址：";
inline constexpr char addButtonText[] = "加入";
inline constexpr char refreshButtonText[] = "刷新";
inline constexpr char removeButtonText[] = "解除";
inline constexpr char button4Text[] = "按钮";

// The result messages and the caption of their box.
inline constexpr char messageCaption[] = "信息：";
inline constexpr char enterValidAddressText[] = "请输入正确网址！";
inline constexpr char changeSavedText[] = "恭喜，修改成功！";
inline constexpr char changeRefusedText[] = "系统有所限制，无法修改！";

// The fatal error box: heading, CR LF, CR LF, label, message, CR LF.
inline constexpr char fatalCaption[] = "错误";
inline constexpr char fatalHeading[] = "运行时出错!";
inline constexpr char fatalMessageLabel[] = "错误信息：";
// %d stands for the number of bytes asked for.
inline constexpr char outOfMemoryTemplate[] = "分配 %d 字节内存失败!";
inline constexpr char windowLoadFailedText[] = "载入启动窗口失败";

// windowTitlePrefix, "(", the host name of publisherWebAddress, ")".
Text mainWindowTitle();

// The host part of an absolute web address: what lies between "://" and the
// next "/" (or the end). The whole text when it has no "://".
Text hostOfWebAddress(std::string_view address);
