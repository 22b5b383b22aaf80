#include "Depend/qn_process.h"

#include "platform/processes.h"
#include "platform/text.h"

int QNCountProcess(const wchar_t* name)
{
    if (name == nullptr || *name == L'\0') return 0;
    return platform::CountProcessesNamed(platform::WideToUtf8(name), 2);
}
