#pragma once

// The program's icon: the icon of the program file and the container the
// window's icons are made from.
#define IDI_HOSTS_BLACKLIST 1
