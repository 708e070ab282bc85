#pragma once

// The main window's class, its label class and the numeric ids of its nine
// controls. The window fetches its controls by id, and so do the tests and
// the end-to-end driver, which finds the window by its class.
namespace control_id {

// Not 1 or 2: those are IDOK and IDCANCEL.
constexpr int label1 = 101;       // 标签1
constexpr int siteList = 102;     // 列表框1: the site of each entry
constexpr int editBox = 103;      // 编辑框1
constexpr int label2 = 104;       // 标签2
constexpr int addButton = 105;    // 按钮1 "加入"
constexpr int refreshButton = 106;  // 按钮2 "刷新"
constexpr int removeButton = 107;   // 按钮3 "解除"
constexpr int addressList = 108;  // 列表框2: the address of each entry, out of sight
constexpr int button4 = 109;      // 按钮4, out of sight, bound to nothing

}  // namespace control_id

inline constexpr char mainWindowClassName[] = "HostsBlacklistMainWindow";
inline constexpr char labelClassName[] = "HostsBlacklistLabel";
