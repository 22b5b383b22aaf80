// Running copies of a program.
#pragma once

// Processes whose executable file name equals `name` exactly (case matters):
// 0, 1 or 2 (counting stops at 2).
int QNCountProcess(const wchar_t* name);
